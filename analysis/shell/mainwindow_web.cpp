// The web host's own commands in the main window's Web menu.
#include "mainwindow.h"
#include "pagechooser.h"

#include "platform/filedialogs.h"
#include "webhost/localweb.h"

namespace quillmark {

void MainWindow::openWebFolder() {
    webhost::LocalWeb* web = m_services.localWeb;
    const QString folder = m_services.fileDialogs->existingDirectory(
        QStringLiteral("Open Web Folder"), web->webFolder());
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
