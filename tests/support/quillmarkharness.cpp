#include "quillmarkharness.h"

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QtTest>

namespace testsupport {

namespace {

QPlainTextEdit* pane(const quillmark::MainWindow* form, const char* name) {
    auto* found = form->findChild<QPlainTextEdit*>(QLatin1String(name));
    if (!found)
        qFatal("the main window has no pane %s", name);
    return found;
}

} // namespace

QPlainTextEdit* passedPane(const quillmark::MainWindow* form) {
    return pane(form, "SubmitReady");
}

QPlainTextEdit* failedPane(const quillmark::MainWindow* form) {
    return pane(form, "failedurls");
}

QPlainTextEdit* keywordPane(const quillmark::MainWindow* form) {
    return pane(form, "memo3");
}

QuillmarkHarness::QuillmarkHarness(TestEnv::Layout layout)
    : env(layout), printer(env.path(QStringLiteral("printed"))) {
    web = std::make_unique<webhost::LocalWeb>(env.registryPath(), env.programFolder());
    host = std::make_unique<FaultyHost>(*web);
    services.dialogs = &dialogs;
    services.fileDialogs = &fileDialogs;
    services.shell = &shell;
    services.help = &help;
    services.printer = &printer;
    services.mail = &mail;
    services.host = host.get();
    services.localWeb = web.get();
    services.folders = env.folders();
    services.registryPath = env.registryPath();
    // Each harness is a copy of its own unless a test says otherwise.
    static int serial = 0;
    services.instanceName = QStringLiteral("quillmark-test-%1-%2")
                                .arg(QCoreApplication::applicationPid())
                                .arg(++serial);
}

QuillmarkHarness::~QuillmarkHarness() {
    form.reset();
}

quillmark::MainWindow* QuillmarkHarness::start() {
    wired = std::make_unique<quillmark::WiredServices>(services);
    form = quillmark::startQuillmark(wired->services());
    return form.get();
}

quillmark::MainWindow* QuillmarkHarness::startShown() {
    start();
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get()))
        qWarning("main window not exposed");
    return form.get();
}

void QuillmarkHarness::close() {
    form->close();
}

void QuillmarkHarness::openWeb(const QString& folder, const QString& page) {
    web->openWeb(folder);
    if (!page.isEmpty())
        web->openPage(page);
}

} // namespace testsupport
