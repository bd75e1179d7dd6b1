// Takes the single-instance lock NAME, says "locked" and waits to be killed.
#include "platform/singleinstance.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    platform::SingleInstance guard(app.arguments().value(1));
    if (!guard.tryAcquire())
        return 1;
    std::printf("locked\n");
    std::fflush(stdout);
    return app.exec();
}
