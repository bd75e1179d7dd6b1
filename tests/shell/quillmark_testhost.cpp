// quillmark with boxes that are answered at once and logged to $QM_DIALOG_LOG, one line each.
// With $QM_CLOSE_AT_START set, the window closes as soon as it is up, as a user closing it would.
#include "analysis/shell/mainwindow.h"
#include "analysis/shell/quillmark.h"
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
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>

namespace {

class LoggingDialogs : public platform::Dialogs {
public:
    Button show(Kind, const QString& text, const QList<Button>& buttons) override {
        QFile log(qEnvironmentVariable("QM_DIALOG_LOG"));
        if (log.open(QIODevice::Append)) {
            QString line = text;
            line.replace(QLatin1String("\r"), QLatin1String("\\r"))
                .replace(QLatin1String("\n"), QLatin1String("\\n"));
            log.write(line.toUtf8() + '\n');
        }
        return buttons.isEmpty() ? Button::Ok : buttons.last();
    }
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    LoggingDialogs dialogs;
    platform::QtFileDialogs fileDialogs;
    platform::QtShell shell;
    platform::QtPrinter printer;
    platform::QtMail mail;
    platform::QtHelp help(dialogs, QStringLiteral("Help"));
    const QString programFolder = qEnvironmentVariable("QM_PROGRAM_FOLDER");
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
    std::unique_ptr<quillmark::MainWindow> form = quillmark::startQuillmark(services);
    if (form->terminated())
        return 0;
    form->show();
    if (qEnvironmentVariableIsSet("QM_CLOSE_AT_START"))
        QTimer::singleShot(0, form.get(), &QWidget::close);
    std::printf("running\n");
    std::fflush(stdout);
    return QApplication::exec();
}
