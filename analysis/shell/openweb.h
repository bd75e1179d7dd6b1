#pragma once

#include "webhost/host.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace webhost {
class LocalWeb;
class SiteWeb;
} // namespace webhost

namespace quillmark {

// The web that is open in the window: the folder of a LocalWeb, or a site. The main window makes
// its Explorer and Editor once; those made here forward each call to whichever web is open at
// the time, so that they keep working after the user opens a site or returns to a folder.
// The open site, its page and the addresses used last are kept in the registry file under
// \Software\VRNH\SiteWeb; a start with a site stored opens it again.
class OpenWeb : public webhost::Host {
public:
    static const QString kStateKey;
    static constexpr int kRecentSites = 10;

    // copyFolder: where a site keeps the pages of its listing.
    OpenWeb(webhost::LocalWeb& local, QString registryPath, QString copyFolder);
    ~OpenWeb() override;
    OpenWeb(const OpenWeb&) = delete;
    OpenWeb& operator=(const OpenWeb&) = delete;

    std::unique_ptr<webhost::Explorer> createExplorer() override;
    std::unique_ptr<webhost::Editor> createEditor() override;

    webhost::LocalWeb& localWeb() { return m_local; }
    const webhost::LocalWeb& localWeb() const { return m_local; }
    // The open site; null while the folder is open.
    webhost::SiteWeb* site() const { return m_site.get(); }

    // Why the text cannot be a site's address; empty for one that can.
    static QString addressProblem(const QString& address);
    // Opens the site and puts its address first in the recent ones. Throws HostError for an
    // address that cannot be a site's, or state that cannot be kept (the site stays open then).
    void openSite(const QString& address);
    // Returns to the folder and opens it (LocalWeb::openWeb); throws HostError.
    void openFolder(const QString& folder);
    // Opens a page of the open site and keeps it for the next start.
    void openSitePage(const QString& address);
    // The addresses opened last, newest first.
    QStringList recentSites() const;

    class Forwarder;

private:
    void load();
    void save();
    void replaceSite(std::unique_ptr<webhost::SiteWeb> site);
    webhost::Host& openHost();

    webhost::LocalWeb& m_local;
    const QString m_registryPath;
    const QString m_copyFolder;
    std::unique_ptr<webhost::SiteWeb> m_site;
    QStringList m_recent;
    // The Explorers and Editors made here: each drops the objects of the web it forwarded to
    // when another web opens, before that web goes.
    QList<Forwarder*> m_forwarders;
};

} // namespace quillmark
