#pragma once

#include "platform/errors.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace webhost {

// Any failure of the host: an object that cannot be created, or an operation refused.
class HostError : public platform::Error {
public:
    using platform::Error::Error;
};

// The web: the Explorer's automation operations, called by name as the system calls them.
class Explorer {
public:
    virtual ~Explorer() = default;
    // Writes the page's source, byte for byte, to the local file.
    virtual void vtiGetDocToFile(QString& address, const QString& localPath) = 0;
    // The files directly in the folder ("" for the root of the web), one address a line.
    virtual QString vtigetpagesinfolder(const QString& folder, int flag) = 0;
    // The web's folders below the root, as folder names that vtigetpagesinfolder takes.
    virtual QStringList webFolders() = 0;
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
