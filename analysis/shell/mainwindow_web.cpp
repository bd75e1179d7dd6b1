// The web host's own commands in the main window's Web menu.
#include "mainwindow.h"
#include "pagechooser.h"

#include "platform/filedialogs.h"
#include "platform/folders.h"
#include "webhost/localweb.h"

namespace quillmark {

void MainWindow::openWebFolder() {
    webhost::LocalWeb* web = m_services.localWeb;
    // The web the user chose last (kept by the host), not the delivered sample web.
    const QString folder = m_services.fileDialogs->existingDirectory(
        QStringLiteral("Open Web Folder"),
        platform::dialogStartFolder(web->isSampleWeb() ? QString() : web->webFolder()));
    if (folder.isEmpty())
        return;
    web->openWeb(folder);
    showOpenPage();
}

void MainWindow::openPage() {
    webhost::LocalWeb* web = m_services.localWeb;
    PageChooser chooser(webPages(web->allFiles()), web->openPageAddress(), this);
    if (chooser.exec() != QDialog::Accepted || chooser.selectedPage().isEmpty())
        return;
    web->openPage(chooser.selectedPage());
    showOpenPage();
}

} // namespace quillmark
