#include "quillmark.h"

#include "brindle.h"

#include <QApplication>

namespace quillmark {

std::unique_ptr<TForm1> startQuillmark(const Services& services) {
    auto form = std::make_unique<TForm1>(services);
    form->LMDOneInstance1Custom();
    // A second copy still runs the rest of start-up, then ends when the loop starts.
    const bool secondCopy = form->terminated();
    form->FormCreate();
    if (!form->terminated() || secondCopy)
        form->createLongLivedWindows();
    return form;
}

int runQuillmark(const Services& services) {
    std::unique_ptr<TForm1> form = startQuillmark(services);
    if (form->terminated())
        return 0;
    form->show();
    return QApplication::exec();
}

} // namespace quillmark
