#include "quillmark.h"

#include "platform/infooptions.h"

#include <QApplication>
#include <QIcon>

#include <csignal>

int main(int argc, char** argv) {
    // A write past the file size limit fails with its own message instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    const int answered = platform::answerInfoOptions(
        argc, argv, "quillmark",
        "Checks the title and meta tags of web pages against a site's rule base.", stdout);
    if (answered >= 0)
        return answered;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quillmark"));
    // The icon comes from the resources, so the build tree's program shows it too.
    QIcon icon;
    for (const int size : {48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/appicon/%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);
    QApplication::setDesktopFileName(QStringLiteral("com.varnholt.Quillmark"));
    const quillmark::WiredServices wired;
    return quillmark::runQuillmark(wired.services());
}
