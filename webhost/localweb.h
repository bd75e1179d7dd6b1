#pragma once

#include "host.h"

namespace webhost {

// The web host on a web kept in a local folder. Page addresses are paths relative to the web's
// root folder with '/' between folders; every address is confined to the root. The web folder
// and the open page are kept in the registry file under \Software\VRNH\LocalWeb; with nothing
// stored the host opens sampleweb/ of the data folder and its index.htm.
class LocalWeb : public Host {
public:
    LocalWeb(QString registryPath, QString dataFolder);
    // A host on the web in `folder` that keeps no state and opens no page, for tools that only
    // read the web. Throws HostError for a folder that is not there.
    static LocalWeb onFolder(const QString& folder);

    std::unique_ptr<Explorer> createExplorer() override;
    std::unique_ptr<Editor> createEditor() override;

    QString webFolder() const { return m_web; }
    QString openPageAddress() const { return m_page; }
    // The open web is the delivered sample web.
    bool isSampleWeb() const;
    // The host's own commands; both throw HostError for a folder or page that cannot be used.
    void openWeb(const QString& folder);
    void openPage(const QString& address);

    // One walk over the whole web, its time linear in the number of folders: each folder's
    // listing, the root first and then the folders in case-insensitive order, and a message for
    // each folder that cannot be read (its listing stays empty).
    struct FolderListing {
        QString folder;
        PageListing listing;
    };
    struct WebListing {
        QList<FolderListing> folders;
        QStringList unreadable;
    };
    WebListing listWeb() const;
    // Every file of the web, root and folders, as addresses (for the page dialog).
    QStringList allFiles() const;
    // The folders below the root, hidden ones and links left out; one that cannot be read is
    // still named, so that listing it reports it.
    QStringList folders() const;
    // Throws HostError for a folder that is not in the web or cannot be read.
    PageListing filesInFolder(const QString& folder) const;
    // The file an address names, confined to the web root; throws HostError.
    QString pathOf(const QString& address) const;
    // pathOf for a page to be replaced; throws HostError where the path cannot name it.
    QString writablePathOf(const QString& address) const;

    static const QString kStateKey;

private:
    LocalWeb() = default;
    void setWeb(const QString& folder);
    void load();
    void save();
    int openFolder(const QString& folder) const; // confined to the root; throws HostError

    QString m_registryPath;
    QString m_dataFolder;
    QString m_web;
    QString m_root;
    QByteArray m_rootNative; // m_root's bytes
    QString m_page;
};

} // namespace webhost
