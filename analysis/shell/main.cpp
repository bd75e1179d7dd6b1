#include "mainwindow.h"
#include "quillmark.h"

#include "platform/dialogs.h"
#include "platform/filedialogs.h"
#include "platform/help.h"
#include "platform/mail.h"
#include "platform/printer.h"
#include "platform/registrystore.h"
#include "platform/shell.h"
#include "webhost/localweb.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include <csignal>

int main(int argc, char** argv) {
    // A write past the file size limit fails with its own message instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quillmark"));

    platform::QtDialogs dialogs(quillmark::MainWindow::kAppTitle);
    platform::QtFileDialogs fileDialogs;
    platform::QtShell shell;
    platform::QtPrinter printer;
    platform::QtMail mail;
    platform::QtHelp help(dialogs, QStringLiteral("Quillmark Help"));
    const QString programFolder =
        QDir(QCoreApplication::applicationDirPath()).absolutePath() + QLatin1Char('/');
    const QString registry = platform::RegistryStore::defaultPath();
    webhost::LocalWeb web(registry, programFolder);

    quillmark::Services services;
    services.dialogs = &dialogs;
    services.fileDialogs = &fileDialogs;
    services.shell = &shell;
    services.help = &help;
    services.printer = &printer;
    services.mail = &mail;
    services.host = &web;
    services.localWeb = &web;
    services.programFolder = programFolder;
    services.registryPath = registry;
    services.instanceName = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    return quillmark::runQuillmark(services);
}
