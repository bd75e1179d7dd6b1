// The web host's own commands in the main window's Web menu, and what the other commands need
// of a site: its listing's progress window and its failures.
#include "checktexts.h"
#include "mainwindow.h"
#include "openweb.h"
#include "pagechooser.h"
#include "sitedialog.h"
#include "sitelisting.h"

#include "platform/dialogs.h"
#include "platform/filedialogs.h"
#include "platform/folders.h"
#include "webhost/localweb.h"
#include "webhost/siteweb.h"

#include <QListWidget>

namespace quillmark {

namespace {

QString readOnlySite(const QString& root, const QString& page, const QStringList& words) {
    return QStringLiteral("The site %1 is read-only: Quillmark cannot change its pages.\r\n\r\n"
                          "These keywords were not written to the keywords meta tag of the page "
                          "%2:\r\n\r\n%3\r\n\r\nAdd them to the page by hand.")
        .arg(root, page, words.join(QStringLiteral(", ")));
}

// Sets the site's progress function for as long as it lives, and takes the window down on every
// way out.
class ListingScope {
public:
    ListingScope(webhost::SiteWeb& site, SiteListingWindow& window, bool showAtOnce)
        : m_site(site), m_window(window) {
        if (showAtOnce)
            m_window.start(m_site.rootUrl());
        m_site.setProgress([this](int fetched, int known) {
            if (!m_window.isVisible() && !m_window.cancelled())
                m_window.start(m_site.rootUrl());
            return m_window.update(fetched, known);
        });
    }
    ~ListingScope() {
        m_site.setProgress({});
        m_window.finish();
    }
    ListingScope(const ListingScope&) = delete;
    ListingScope& operator=(const ListingScope&) = delete;

private:
    webhost::SiteWeb& m_site;
    SiteListingWindow& m_window;
};

} // namespace

webhost::SiteWeb* MainWindow::openSiteHost() const {
    return m_services.openWeb ? m_services.openWeb->site() : nullptr;
}

bool MainWindow::withSiteListing(const std::function<void()>& work, bool showAtOnce) {
    webhost::SiteWeb* site = openSiteHost();
    if (!site) {
        work();
        return true;
    }
    if (!m_siteListing)
        m_siteListing = new SiteListingWindow(this);
    try {
        const ListingScope scope(*site, *m_siteListing, showAtOnce);
        work();
        return true;
    } catch (const webhost::SiteCancelled&) {
        return false;
    } catch (const webhost::HostError& e) {
        m_services.dialogs->error(fetchFailure(e));
        return false;
    }
}

QString MainWindow::fetchFailure(const std::exception& e) const {
    if (!openSiteHost())
        return checktexts::kError3001;
    const auto* error = dynamic_cast<const platform::Error*>(&e);
    const QString cause = error ? error->message() : QString::fromUtf8(e.what());
    return cause.isEmpty() ? checktexts::kError3001
                           : checktexts::kError3001 + QStringLiteral("\r\n\r\n") + cause;
}

void MainWindow::keywordsNotWritten(const QString& address, const QStringList& words) {
    const webhost::SiteWeb* site = openSiteHost();
    const QString within = site->addressOf(address);
    const QString url = within.isEmpty() && !address.isEmpty() ? address : site->rootUrl() + within;
    m_services.dialogs->warning(readOnlySite(site->rootUrl(), url, words));
}

void MainWindow::openWebFolder() {
    webhost::LocalWeb* web = m_services.localWeb;
    // The web the user chose last (kept by the host), not the delivered sample web.
    const QString folder = m_services.fileDialogs->existingDirectory(
        QStringLiteral("Open Web Folder"),
        platform::dialogStartFolder(web->isSampleWeb() ? QString() : web->webFolder()));
    if (folder.isEmpty())
        return;
    if (m_services.openWeb)
        m_services.openWeb->openFolder(folder);
    else
        web->openWeb(folder);
    showOpenPage();
}

void MainWindow::openSite() {
    OpenWeb& web = *m_services.openWeb;
    const webhost::SiteWeb* site = web.site();
    SiteDialog dialog(*m_services.dialogs, *m_services.help, m_helpFile, web.recentSites(),
                      site ? site->options().address : QString(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    try {
        web.openSite(dialog.address());
    } catch (const webhost::HostError&) {
        showOpenPage();
        throw;
    }
    showOpenPage();
}

void MainWindow::openPage() {
    if (webhost::SiteWeb* site = openSiteHost()) {
        BusyScope busy(*this);
        // The pages of the last listing; a site not listed yet is listed first.
        if (site->listing().pages.isEmpty() && !withSiteListing([site] { site->list(); }, true))
            return;
        // The start page of a site at its root has the empty address: it is shown as the root.
        const auto shown = [site](const QString& address) {
            return address.isEmpty() ? site->rootUrl() : address;
        };
        QStringList pages;
        for (const webhost::SitePage& p : site->listing().pages)
            if (p.failure.isEmpty())
                pages.append(shown(p.address));
        PageChooser chooser(pages, shown(site->openPageAddress()), this,
                            QStringLiteral("Pages of the open site:"));
        if (chooser.exec() != QDialog::Accepted || chooser.list()->currentItem() == nullptr)
            return;
        m_services.openWeb->openSitePage(chooser.selectedPage());
        showOpenPage();
        return;
    }
    webhost::LocalWeb* web = m_services.localWeb;
    PageChooser chooser(webPages(web->allFiles()), web->openPageAddress(), this);
    if (chooser.exec() != QDialog::Accepted || chooser.selectedPage().isEmpty())
        return;
    web->openPage(chooser.selectedPage());
    showOpenPage();
}

} // namespace quillmark
