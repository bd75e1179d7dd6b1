#include "tidewell.h"

#include "mainupdate.h"

#include <QApplication>

#ifndef TIDEWELL_UPDATE_HOST
#define TIDEWELL_UPDATE_HOST "localhost"
#endif
#ifndef TIDEWELL_UPDATE_PORT
#define TIDEWELL_UPDATE_PORT 21
#endif

namespace tidewell {

QString defaultUpdateHost() {
    return QStringLiteral(TIDEWELL_UPDATE_HOST);
}

int defaultUpdatePort() {
    return TIDEWELL_UPDATE_PORT;
}

std::unique_ptr<TForm1> startTidewell(const Services& services) {
    auto form = std::make_unique<TForm1>(services);
    form->FormCreate();
    return form;
}

int runTidewell(const Services& services) {
    QApplication::setApplicationDisplayName(TForm1::kAppTitle);
    std::unique_ptr<TForm1> form = startTidewell(services);
    form->show();
    return QApplication::exec();
}

} // namespace tidewell
