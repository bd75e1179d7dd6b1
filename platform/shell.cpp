#include "shell.h"

#include <QDesktopServices>

namespace platform {

bool QtShell::open(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

QUrl fileUrl(const QString& path) {
    return QUrl::fromLocalFile(path);
}

} // namespace platform
