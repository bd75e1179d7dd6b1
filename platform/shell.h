#pragma once

#include <QString>
#include <QUrl>

namespace platform {

// The desktop shell's "open" action on a file or address.
class Shell {
public:
    virtual ~Shell() = default;
    virtual bool open(const QUrl& url) = 0;
};

class QtShell : public Shell {
public:
    bool open(const QUrl& url) override;
};

// A file URL for a local path that is valid on every platform (file:///home/ann/x.html).
QUrl fileUrl(const QString& path);

} // namespace platform
