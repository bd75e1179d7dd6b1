#include "filenames.h"

#include "textcodec.h"

#include <cerrno>
#include <climits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

bool exists(const QByteArray& path) {
    struct stat st;
    return ::lstat(path.constData(), &st) == 0;
}

bool isUnlistable(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

} // namespace

QString decodeFileName(const char* bytes, qsizetype size) {
    if (isValidUtf8(bytes, size))
        return QString::fromUtf8(bytes, size);
    return decodeWindows1252(QByteArray::fromRawData(bytes, size));
}

bool isListableName(const QString& name) {
    for (const QChar c : name)
        if (isUnlistable(c.unicode()))
            return false;
    return true;
}

QString listableForm(const QString& name) {
    QString shown = name;
    for (QChar& c : shown)
        if (isUnlistable(c.unicode()))
            c = QLatin1Char('?');
    return shown;
}

QByteArray nativePath(const QString& path) {
    QByteArray utf8 = path.toUtf8();
    if (utf8.size() == path.size() || exists(utf8))
        return utf8;
    // Name by name: each one in the form that exists below the names before it.
    QByteArray native;
    native.reserve(utf8.size());
    qsizetype start = 0;
    while (start <= path.size()) {
        qsizetype end = path.indexOf(QLatin1Char('/'), start);
        if (end < 0)
            end = path.size();
        const QString name = path.mid(start, end - start);
        if (start > 0)
            native += '/';
        const QByteArray asUtf8 = name.toUtf8();
        if (asUtf8.size() == name.size() || !fitsWindows1252(name) || exists(native + asUtf8))
            native += asUtf8;
        else
            native += encodeWindows1252(name);
        start = end + 1;
    }
    return native;
}

int openNative(const QString& path, int flags) {
    return openNative(nativePath(path), flags);
}

int openNative(const QByteArray& native, int flags) {
    const int fd = ::open(native.constData(), flags | O_CLOEXEC);
    if (fd >= 0 || errno != ENAMETOOLONG)
        return fd;
    // Folders first, each piece shorter than PATH_MAX and cut at a '/'.
    int dir = native.startsWith('/') ? ::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : AT_FDCWD;
    if (dir == -1 && native.startsWith('/'))
        return -1;
    qsizetype start = native.startsWith('/') ? 1 : 0;
    for (;;) {
        const qsizetype rest = native.size() - start;
        if (rest < PATH_MAX) {
            const int file = ::openat(dir, native.constData() + start, flags | O_CLOEXEC);
            const int saved = errno;
            if (dir != AT_FDCWD)
                ::close(dir);
            errno = saved;
            return file;
        }
        const qsizetype cut = native.lastIndexOf('/', start + PATH_MAX - 1);
        if (cut <= start) {
            if (dir != AT_FDCWD)
                ::close(dir);
            errno = ENAMETOOLONG;
            return -1;
        }
        const QByteArray piece = native.mid(start, cut - start);
        const int next = ::openat(dir, piece.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const int saved = errno;
        if (dir != AT_FDCWD)
            ::close(dir);
        if (next < 0) {
            errno = saved;
            return -1;
        }
        dir = next;
        start = cut + 1;
    }
}

} // namespace platform
