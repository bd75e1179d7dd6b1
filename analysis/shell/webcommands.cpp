// The web host's own commands in the main window's Web menu.
#include "brindle.h"
#include "pagechooser.h"

#include "platform/filedialogs.h"
#include "webhost/localweb.h"

namespace quillmark {

void TForm1::OpenWebFolder1Click() {
    webhost::LocalWeb* web = m_services.localWeb;
    const QString folder = m_services.fileDialogs->existingDirectory(QStringLiteral("Open Web Folder"), web->webFolder());
    if (folder.isEmpty())
        return;
    web->openWeb(folder);
}

void TForm1::OpenPage1Click() {
    webhost::LocalWeb* web = m_services.localWeb;
    PageChooser chooser(webPages(web->allFiles()), web->openPageAddress(), this);
    if (chooser.exec() != QDialog::Accepted || chooser.selectedPage().isEmpty())
        return;
    web->openPage(chooser.selectedPage());
}

} // namespace quillmark
