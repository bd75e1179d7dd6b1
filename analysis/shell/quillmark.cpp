#include "quillmark.h"

#include "mainwindow.h"

#include <QApplication>

namespace quillmark {

std::unique_ptr<MainWindow> startQuillmark(const Services& services) {
    auto form = std::make_unique<MainWindow>(services);
    form->anotherInstanceRunning();
    // A second copy still runs the rest of start-up, then ends when the loop starts.
    const bool secondCopy = form->terminated();
    form->initialize();
    if (!form->terminated() || secondCopy)
        form->createLongLivedWindows();
    return form;
}

int runQuillmark(const Services& services) {
    std::unique_ptr<MainWindow> form = startQuillmark(services);
    if (form->terminated())
        return 0;
    form->show();
    return QApplication::exec();
}

} // namespace quillmark
