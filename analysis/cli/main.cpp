#include "checkrun.h"

#include "analysis/rules/rulestore.h"
#include "platform/folders.h"

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
    // The checker works on quillmark's data and the user's lists, as the window does.
    return checkcli::main(args, rules::quillmarkFolders(), stdout, stderr);
}
