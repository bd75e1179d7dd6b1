#include "mainwindow.h"
#include "tidewell.h"

#include "platform/dialogs.h"
#include "platform/filedialogs.h"
#include "platform/folders.h"
#include "platform/help.h"
#include "platform/infooptions.h"
#include "platform/installer.h"
#include "platform/registrystore.h"
#include "platform/shell.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char** argv) {
    const int answered = platform::answerInfoOptions(
        argc, argv, "tidewell", "Keeps the installed products up to date from the update server.",
        stdout);
    if (answered >= 0)
        return answered;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tidewell"));
    // The icon comes from the resources, so the build tree's program shows it too.
    QIcon icon;
    for (const int size : {48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/appicon/%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);
    QApplication::setDesktopFileName(QStringLiteral("com.varnholt.Tidewell"));

    platform::QtDialogs dialogs(tidewell::MainWindow::kAppTitle);
    platform::QtHelp help(dialogs, QStringLiteral("Tidewell Help"));
    platform::QtShell shell;
    platform::QtFileDialogs fileDialogs;
    platform::QtInstaller installer;

    tidewell::Services services;
    services.dialogs = &dialogs;
    services.fileDialogs = &fileDialogs;
    services.help = &help;
    services.shell = &shell;
    services.installer = &installer;
    services.registryPath = platform::RegistryStore::defaultPath();
    services.folders = platform::programFolders(QStringLiteral("tidewell"));
    services.updateHost = tidewell::defaultUpdateHost();
    services.updatePort = tidewell::defaultUpdatePort();
    return tidewell::runTidewell(services);
}
