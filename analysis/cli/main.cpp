#include "checkrun.h"

#include <QCoreApplication>

#include <csignal>

#include <malloc.h>

int main(int argc, char** argv) {
    // Every page's text is allocated and freed in turn: memory handed back to the system after
    // each page is only faulted in again for the next one.
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    // A write past the file size limit fails with its own message instead of ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    return checkcli::main(args, QCoreApplication::applicationDirPath(), stdout, stderr);
}
