#include "tidewell.h"

#include "mainwindow.h"

#include <QApplication>

#ifndef TIDEWELL_UPDATE_HOST
#define TIDEWELL_UPDATE_HOST "localhost"
#endif
#ifndef TIDEWELL_UPDATE_PORT
#define TIDEWELL_UPDATE_PORT 21
#endif

#ifndef TIDEWELL_SIGNING_KEYS
#define TIDEWELL_SIGNING_KEYS ""
#endif

namespace tidewell {

QString builtInSigningKeys() {
    return QStringLiteral(TIDEWELL_SIGNING_KEYS);
}

QString defaultUpdateHost() {
    return QStringLiteral(TIDEWELL_UPDATE_HOST);
}

int defaultUpdatePort() {
    return TIDEWELL_UPDATE_PORT;
}

std::unique_ptr<MainWindow> startTidewell(const Services& services) {
    auto window = std::make_unique<MainWindow>(services);
    window->loadProducts();
    return window;
}

int runTidewell(const Services& services) {
    // No display name: the toolkit would append it to every caption, and each window's caption
    // is its own.
    std::unique_ptr<MainWindow> window = startTidewell(services);
    window->show();
    return QApplication::exec();
}

} // namespace tidewell
