#include "textfile.h"

#include "errors.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

const QString kIsAFolder = QStringLiteral("Is a directory");

QString errnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    // Closes now, so that a failure to close is seen; answers errno or 0.
    int close() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }

private:
    int m_fd;
};

// 0, or the errno of the write that failed.
int writeAll(int fd, const QByteArray& bytes) {
    const char* p = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(qMin<qint64>(left, qint64(1) << 30)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        p += n;
        left -= n;
    }
    return 0;
}

QString sizeInMegabytes(qint64 size) {
    return QString::number(double(size) / (1 << 20), 'f', 1);
}

[[noreturn]] void refuseLarge(const QString& path, qint64 size, qint64 maxBytes) {
    throw EFOpenError(
        path, QStringLiteral("The file is %1 MB or more; files of more than %2 MB are not read.")
                  .arg(sizeInMegabytes(size), sizeInMegabytes(maxBytes)));
}

QByteArray folderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

// The standard streams and descriptors named as files: written through the descriptor itself, so
// that what a program writes there and to the stream itself keeps its order.
int descriptorNamed(const QByteArray& path) {
    if (path == "/dev/stdout")
        return 1;
    if (path == "/dev/stderr")
        return 2;
    for (const char* prefix : {"/dev/fd/", "/proc/self/fd/"}) {
        if (!path.startsWith(prefix))
            continue;
        bool ok = false;
        const int fd = path.mid(qsizetype(std::strlen(prefix))).toInt(&ok);
        return ok && fd >= 0 ? fd : -1;
    }
    return -1;
}

enum class TargetKind { Missing, Regular, InPlace };

struct OutputTarget {
    QByteArray path; // where the file itself is, symbolic links resolved
    TargetKind kind = TargetKind::Missing;
    mode_t mode = 0;
};

// The file that a write to `path` reaches, following symbolic links as the kernel's
// protected_symlinks rule does: in a sticky folder that anyone may write to, a link is followed
// only when it belongs to the running user or to the folder's owner.
OutputTarget outputTarget(const QString& given) {
    QByteArray path = QFile::encodeName(given);
    for (int hops = 0;; ++hops) {
        struct stat sb;
        if (::lstat(path.constData(), &sb) != 0) {
            if (errno == ENOENT)
                return {path, TargetKind::Missing, 0};
            throw EFCreateError(given, errnoText(errno));
        }
        if (S_ISREG(sb.st_mode))
            return {path, TargetKind::Regular, sb.st_mode};
        if (S_ISCHR(sb.st_mode) || S_ISFIFO(sb.st_mode))
            return {path, TargetKind::InPlace, sb.st_mode};
        if (S_ISDIR(sb.st_mode))
            throw EFCreateError(given, kIsAFolder);
        if (!S_ISLNK(sb.st_mode))
            throw EFCreateError(
                given, QStringLiteral("It is a block device or a socket; it is not written."));
        if (hops >= 40)
            throw EFCreateError(given, errnoText(ELOOP));
        const QByteArray folder = folderOf(path);
        struct stat folderInfo;
        if (::stat(folder.constData(), &folderInfo) != 0)
            throw EFCreateError(given, errnoText(errno));
        const bool shared = (folderInfo.st_mode & S_ISVTX) && (folderInfo.st_mode & S_IWOTH);
        if (shared && sb.st_uid != ::geteuid() && sb.st_uid != folderInfo.st_uid)
            throw EFCreateError(
                given, QStringLiteral("It is a symbolic link that belongs to another user in a "
                                      "shared folder; it is not followed."));
        QByteArray target(qsizetype(sb.st_size > 0 ? sb.st_size : 4096) + 1, Qt::Uninitialized);
        const ssize_t n = ::readlink(path.constData(), target.data(), size_t(target.size()));
        if (n < 0)
            throw EFCreateError(given, errnoText(errno));
        target.truncate(n);
        if (!target.startsWith('/')) {
            if (path.startsWith("/proc/"))
                return {path, TargetKind::InPlace,
                        0}; // a pipe or socket of a process: only the kernel opens it
            target = folder + '/' + target;
        }
        path = target;
    }
}

void writeInPlace(const QString& given, int fd, const QByteArray& bytes) {
    if (const int error = writeAll(fd, bytes))
        throw EFCreateError(given, errnoText(error));
}

} // namespace

QByteArray readFileBytes(const QString& path, qint64 maxBytes) {
    // Opened without waiting: a FIFO without a writer would block the caller for ever.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        throw EFOpenError(path, errnoText(errno));
    Descriptor file(fd);
    struct stat sb;
    if (::fstat(fd, &sb) != 0)
        throw EFOpenError(path, errnoText(errno));
    if (S_ISDIR(sb.st_mode))
        throw EFOpenError(path, kIsAFolder);
    if (!S_ISREG(sb.st_mode))
        throw EFOpenError(
            path,
            QStringLiteral("It is not a regular file (a device, FIFO or socket); it is not read."));
    if (sb.st_size > maxBytes)
        refuseLarge(path, sb.st_size, maxBytes);
    QByteArray bytes(qsizetype(sb.st_size) + 1,
                     Qt::Uninitialized); // one byte more tells a file that grew
    qint64 got = 0;
    for (;;) {
        if (got == bytes.size()) {
            if (got > maxBytes)
                refuseLarge(path, got, maxBytes);
            bytes.resize(qsizetype(qMin<qint64>(bytes.size() * 2, maxBytes + 1)));
        }
        const ssize_t n = ::read(fd, bytes.data() + got, size_t(bytes.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw EFOpenError(path, errnoText(errno));
        if (n == 0)
            break;
        got += n;
    }
    if (got > maxBytes)
        refuseLarge(path, got, maxBytes);
    bytes.truncate(qsizetype(got));
    return bytes;
}

DecodedText readTextFile(const QString& path) {
    return decodeText(readFileBytes(path));
}

void writeFileAtomically(const QString& path, const QByteArray& bytes) {
    writeFileAtomically(path, [&bytes](const ByteWriter& write) { write(bytes); });
}

void writeFileAtomically(const QString& path,
                         const std::function<void(const ByteWriter&)>& produce) {
    const auto inPlace = [&](int fd) {
        produce([&](const QByteArray& bytes) { writeInPlace(path, fd, bytes); });
    };
    if (const int fd = descriptorNamed(QFile::encodeName(path)); fd >= 0) {
        if (::fcntl(fd, F_GETFD) < 0)
            throw EFCreateError(path, errnoText(errno));
        inPlace(fd);
        return;
    }
    const OutputTarget target = outputTarget(path);
    if (target.kind == TargetKind::InPlace) {
        // Not waiting for a reader: a FIFO nobody reads would hold the program for ever.
        const int fd =
            ::open(target.path.constData(), O_WRONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
        if (fd < 0)
            throw EFCreateError(path, errno == ENXIO
                                          ? QStringLiteral("No program is reading from it.")
                                          : errnoText(errno));
        Descriptor file(fd);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        inPlace(fd);
        if (const int error = file.close())
            throw EFCreateError(path, errnoText(error));
        return;
    }

    // A new name beside the file, created exclusively so that nothing planted there is followed.
    const QByteArray folder = folderOf(target.path);
    const QByteArray base = target.path.mid(target.path.lastIndexOf('/') + 1);
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = folder + "/." + base + '.' +
                    QByteArray::number(QRandomGenerator::system()->generate64(), 36) + ".tmp";
        fd =
            ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd < 0 && errno != EEXIST)
            throw EFCreateError(path, errnoText(errno));
    }
    if (fd < 0)
        throw EFCreateError(path, errnoText(EEXIST));
    Descriptor file(fd);
    const auto fail = [&](int error) {
        ::unlink(temporary.constData());
        throw EFCreateError(path, errnoText(error));
    };
    if (target.kind == TargetKind::Regular && ::fchmod(fd, target.mode & 07777) != 0)
        fail(errno);
    try {
        produce([&](const QByteArray& bytes) {
            if (const int error = writeAll(fd, bytes))
                throw EFCreateError(path, errnoText(error));
        });
    } catch (...) {
        ::unlink(temporary.constData());
        throw;
    }
    if (::fsync(fd) != 0)
        fail(errno);
    if (const int error = file.close())
        fail(error);
    if (::rename(temporary.constData(), target.path.constData()) != 0)
        fail(errno);
}

FileIdentity fileIdentity(const QString& path) {
    FileIdentity id;
    struct stat sb;
    if (::stat(QFile::encodeName(path).constData(), &sb) == 0) {
        id.exists = true;
        id.device = quint64(sb.st_dev);
        id.inode = quint64(sb.st_ino);
        return id;
    }
    const QFileInfo info(path);
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    id.path =
        (folder.isEmpty() ? info.absolutePath() : folder) + QLatin1Char('/') + info.fileName();
    return id;
}

QStringList splitLines(const QString& text) {
    QStringList lines;
    const qsizetype n = text.size();
    const QChar* d = text.constData();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = d[i].unicode();
        if (c == '\r' || c == '\n') {
            lines.append(text.mid(start, i - start));
            if (c == '\r' && i + 1 < n && d[i + 1].unicode() == '\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

QString joinLines(const QStringList& lines) {
    qsizetype size = 0;
    for (const QString& l : lines)
        size += l.size() + 2;
    QString out;
    out.reserve(size);
    for (const QString& l : lines) {
        out += l;
        out += QLatin1String("\r\n");
    }
    return out;
}

QStringList readLines(const QString& path) {
    return splitLines(readTextFile(path).text);
}

QByteArray ansiLinesBytes(const QStringList& lines) {
    return encodeAnsiText(joinLines(lines));
}

void writeAnsiLines(const QString& path, const QStringList& lines) {
    writeFileAtomically(path, ansiLinesBytes(lines));
}

} // namespace platform
