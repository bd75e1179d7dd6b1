#include "quillmark.h"

#include <QApplication>

#include <csignal>

int main(int argc, char** argv) {
    // A write past the file size limit fails with its own message instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quillmark"));
    const quillmark::WiredServices wired;
    return quillmark::runQuillmark(wired.services());
}
