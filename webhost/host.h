#pragma once

#include "platform/errors.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace webhost {

// Any failure of the host: an object that cannot be created, or an operation refused.
class HostError : public platform::Error {
public:
    using platform::Error::Error;
};

// A name in a folder that a listing cannot give as an address: one that holds a line break or
// another control character, or whose Windows-1252 reading is the name of another entry.
struct UnlistedName {
    QString folder; // as vtigetpagesinfolder takes it, "" for the root
    QString name;   // with '?' for each character that cannot be shown
    QString reason;
    bool isFolder = false;
};

// The files directly in one folder, as addresses, and the names that cannot be addresses.
struct PageListing {
    QStringList pages;
    QList<UnlistedName> unlisted;
    // Every address is a page whatever its name: the host knows its pages by their answers, not
    // by their file types.
    bool allPages = false;
};

// A page the host lists but cannot give: a site's page that answers 404, one that redirects out
// of the site, one too big. A batch shows it as a failed page and goes on.
class PageFailure : public HostError {
public:
    using HostError::HostError;
};

// The web: the Explorer's automation operations, called by name as the system calls them.
class Explorer {
public:
    virtual ~Explorer() = default;
    // Writes the page's source, byte for byte, to the local file.
    virtual void vtiGetDocToFile(QString& address, const QString& localPath) = 0;
    // The files directly in the folder ("" for the root of the web). A folder that cannot be
    // read is an error.
    virtual PageListing vtigetpagesinfolder(const QString& folder, int flag) = 0;
    // The web's folders below the root, as folder names that vtigetpagesinfolder takes.
    virtual QStringList webFolders() = 0;
    // The page as the host's last listing read it, where the host keeps such a copy (a site
    // fetches every page to list it); else vtiGetDocToFile. Only a batch over that listing
    // asks for it.
    virtual void copyListedPage(QString& address, const QString& localPath) {
        vtiGetDocToFile(address, localPath);
    }
};

// The open page: the Editor's automation operations.
class Editor {
public:
    virtual ~Editor() = default;
    virtual QString vtiGetTopPageURL() = 0;
    virtual QString vtiGetMetaTag(QString& address, const QString& unused, const QString& name,
                                  int flag1, int flag2) = 0;
    virtual void vtiSetMetaTag(QString& address, const QString& unused, const QString& name,
                               QString& content, int isNew, int flag2) = 0;
};

// Creates the automation objects; creation may fail with HostError.
class Host {
public:
    virtual ~Host() = default;
    virtual std::unique_ptr<Explorer> createExplorer() = 0;
    virtual std::unique_ptr<Editor> createEditor() = 0;
};

} // namespace webhost
