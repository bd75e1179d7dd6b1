// quillmark with boxes that are answered at once and logged to $QM_DIALOG_LOG, one line each.
// With $QM_CLOSE_AT_START set, the window closes as soon as it is up, as a user closing it would.
#include "analysis/shell/mainwindow.h"
#include "analysis/shell/quillmark.h"
#include "platform/dialogs.h"

#include <QApplication>
#include <QFile>
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
    quillmark::Services given;
    given.dialogs = &dialogs;
    // One folder for data, cache and lists when the test names one; else quillmark's own.
    if (qEnvironmentVariableIsSet("QM_PROGRAM_FOLDER"))
        given.folders = platform::oneFolder(qEnvironmentVariable("QM_PROGRAM_FOLDER"));
    const quillmark::WiredServices wired(given);
    std::unique_ptr<quillmark::MainWindow> form = quillmark::startQuillmark(wired.services());
    if (form->terminated())
        return 0;
    form->show();
    if (qEnvironmentVariableIsSet("QM_CLOSE_AT_START"))
        QTimer::singleShot(0, form.get(), &QWidget::close);
    std::printf("running\n");
    std::fflush(stdout);
    return QApplication::exec();
}
