#include "pagefile.h"

#include "platform/errors.h"
#include "platform/filenames.h"
#include "platform/textfile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace engine {

namespace {

void refuseLargePage(const QString& path, qint64 size) {
    // A page that large is no web page; refuse it before it costs memory.
    if (size > kMaxPageBytes)
        throw platform::EFOpenError(
            path, QStringLiteral("The page is %1 MB; pages of more than %2 MB are not checked.")
                      .arg(double(size) / (1 << 20), 0, 'f', 1)
                      .arg(kMaxPageBytes >> 20));
}

// The bytes of a plain file opened as fd; false when it cannot be read this way.
bool readOpenFile(int fd, const QString& path, QByteArray& bytes) {
    struct stat sb;
    if (::fstat(fd, &sb) != 0 || !S_ISREG(sb.st_mode))
        return false;
    refuseLargePage(path, qint64(sb.st_size));
    bytes.resize(qsizetype(sb.st_size) + 1); // one byte more tells a file that grew
    qint64 got = 0;
    for (;;) {
        if (got == bytes.size())
            bytes.resize(qMin<qint64>(bytes.size() * 2, kMaxPageBytes + 1));
        const ssize_t n = ::read(fd, bytes.data() + got, size_t(bytes.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        got += n;
        refuseLargePage(path, got);
    }
    bytes.truncate(got);
    return true;
}

} // namespace

QString readPageFile(const QString& path) {
    QByteArray bytes;
    const int fd = platform::openNative(platform::nativePath(path), O_RDONLY | O_NONBLOCK);
    bool read = false;
    if (fd >= 0) {
        try {
            read = readOpenFile(fd, path, bytes);
        } catch (...) {
            ::close(fd);
            throw;
        }
        ::close(fd);
    }
    if (!read) {
        // Not a plain file that could be read: the file layer says why.
        bytes = platform::readFileBytes(path);
        refuseLargePage(path, bytes.size());
    }
    return platform::decodeText(bytes).text;
}

} // namespace engine
