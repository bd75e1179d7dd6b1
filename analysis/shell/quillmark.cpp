#include "quillmark.h"

#include "mainwindow.h"
#include "openweb.h"

#include "analysis/rules/rulestore.h"

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

namespace quillmark {

namespace {

// Makes the real seam when none is given, and points the services at whichever it is.
template <typename Real, typename Seam, typename... Args>
void wire(Seam*& seam, std::unique_ptr<Seam>& owned, Args&&... args) {
    if (seam)
        return;
    owned = std::make_unique<Real>(std::forward<Args>(args)...);
    seam = owned.get();
}

} // namespace

WiredServices::WiredServices(Services given) : m_services(std::move(given)) {
    Services& s = m_services;
    if (s.folders.data.isEmpty() || s.folders.cache.isEmpty() || s.folders.userData.isEmpty()) {
        // quillmark's own folders also when another executable (a benchmark) runs the window.
        const platform::Folders real = rules::quillmarkFolders();
        for (auto member :
             {&platform::Folders::data, &platform::Folders::cache, &platform::Folders::userData})
            if ((s.folders.*member).isEmpty())
                s.folders.*member = real.*member;
    }
    if (s.registryPath.isEmpty())
        s.registryPath = platform::RegistryStore::defaultPath();
    if (s.instanceName.isEmpty())
        s.instanceName = QFileInfo(QCoreApplication::applicationFilePath()).fileName();

    wire<platform::QtDialogs>(s.dialogs, m_dialogs, MainWindow::kAppTitle);
    wire<platform::QtFileDialogs>(s.fileDialogs, m_fileDialogs);
    wire<platform::QtShell>(s.shell, m_shell);
    wire<platform::QtPrinter>(s.printer, m_printer);
    wire<platform::QtMail>(s.mail, m_mail);
    wire<platform::QtHelp>(s.help, m_help, *s.dialogs, QStringLiteral("Quillmark Help"));
    if (!s.host) {
        if (!s.localWeb) {
            m_localWeb = std::make_unique<webhost::LocalWeb>(s.registryPath, s.folders.data);
            s.localWeb = m_localWeb.get();
        }
        if (!s.openWeb) {
            m_openWeb =
                std::make_unique<OpenWeb>(*s.localWeb, s.registryPath,
                                          QDir(s.folders.cache).filePath(QStringLiteral("site")));
            s.openWeb = m_openWeb.get();
        }
        s.host = s.openWeb;
    }
}

WiredServices::~WiredServices() = default;

std::unique_ptr<MainWindow> startQuillmark(const Services& services) {
    auto form = std::make_unique<MainWindow>(services);
    form->anotherInstanceRunning();
    // A second copy still runs the rest of start-up, then ends when the loop starts.
    const bool secondCopy = form->terminated();
    form->initialize();
    if (!form->terminated() || secondCopy)
        form->createLongLivedWindows();
    return form;
}

int runQuillmark(const Services& services) {
    std::unique_ptr<MainWindow> form = startQuillmark(services);
    if (form->terminated())
        return 0;
    form->show();
    return QApplication::exec();
}

} // namespace quillmark
