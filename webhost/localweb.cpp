#include "localweb.h"

#include "metatags.h"
#include "platform/ascii.h"
#include "platform/filenames.h"
#include "platform/registrystore.h"
#include "platform/textcodec.h"
#include "platform/textfile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace webhost {

const QString LocalWeb::kStateKey = QStringLiteral("\\Software\\VRNH\\LocalWeb");

namespace {

// The host's texts, each in one place.
QString outsideWeb(const QString& address) {
    return QStringLiteral("The address %1 is outside the web.").arg(address);
}
QString pageUnreadable(const QString& address, const QString& why) {
    return QStringLiteral("The page %1 cannot be read: %2").arg(address, why);
}
QString folderUnreadable(const QString& folder, const QString& why) {
    return QStringLiteral("The folder %1 cannot be read: %2").arg(folder, why);
}
QString notAWeb(const QString& folder) {
    return QStringLiteral("The folder %1 cannot be opened as a web.").arg(folder);
}
QString webCannotOpen(const QString& web) {
    return QStringLiteral("The web folder %1 cannot be opened.").arg(web);
}

// A relative address that stays inside the web: no absolute path, drive letter or "..".
QString cleanAddress(const QString& address, bool allowEmpty) {
    QString a = address;
    a.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (a.isEmpty()) {
        if (allowEmpty)
            return a;
        throw HostError(QStringLiteral("No page address was given."));
    }
    if (a.startsWith(QLatin1Char('/')) || (a.size() >= 2 && a.at(1) == QLatin1Char(':')))
        throw HostError(outsideWeb(address));
    const QStringList parts = a.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& p : parts)
        if (p == QLatin1String(".."))
            throw HostError(outsideWeb(address));
    return parts.join(QLatin1Char('/'));
}

bool isHiddenFolder(const QString& name) {
    return name.startsWith(QLatin1Char('.')) || name.startsWith(QLatin1Char('_'));
}

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QString joined(const QString& folder, const QString& name) {
    return folder.isEmpty() ? name : folder + QLatin1Char('/') + name;
}

const QString kControlName =
    QStringLiteral("its name holds a line break or another control character");
const QString kTakenName =
    QStringLiteral("its name read as Windows-1252 is the name of another file in the folder");

// A descriptor closed on every way out.
class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    int release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void reset(int fd = -1) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

// Whether an open file lies inside the web: its real path begins with the root's. A path too
// long to be told is taken as outside.
bool insideRoot(int fd, const QByteArray& rootNative) {
    char link[32];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    QByteArray real(PATH_MAX, Qt::Uninitialized);
    const ssize_t n = ::readlink(link, real.data(), size_t(real.size()));
    if (n <= 0 || n >= real.size())
        return false;
    real.truncate(n);
    return real.startsWith(rootNative.endsWith('/') ? rootNative : rootNative + '/');
}

bool dirIdentity(int fd, dev_t& dev, ino_t& ino) {
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return false;
    dev = st.st_dev;
    ino = st.st_ino;
    return true;
}

// What one folder holds: its files and visible folders by name, in name order, and what cannot
// be listed. Only the entries' types are asked for, from the folder itself where it tells them,
// so a plain file costs no stat.
struct FolderContents {
    QStringList files;
    QStringList folders;
    std::vector<QByteArray> folderBytes; // the folders' names as the folder holds them
    QList<UnlistedName> unlisted;
};

// false with errno set when the folder cannot be read.
bool readFolder(int dirFd, const QString& address, const QByteArray& rootNative,
                FolderContents& out) {
    const int listFd = ::fcntl(dirFd, F_DUPFD_CLOEXEC, 0);
    if (listFd < 0)
        return false;
    DIR* dir = ::fdopendir(listFd);
    if (!dir) {
        const int saved = errno;
        ::close(listFd);
        errno = saved;
        return false;
    }
    struct Entry {
        QByteArray bytes;
        QString name;
        unsigned char type;
        bool utf8;
    };
    std::vector<Entry> entries;
    bool anyOther = false;
    for (;;) {
        errno = 0;
        const dirent* e = ::readdir(dir);
        if (!e)
            break;
        const size_t len = std::strlen(e->d_name);
        if ((len == 1 && e->d_name[0] == '.') ||
            (len == 2 && e->d_name[0] == '.' && e->d_name[1] == '.'))
            continue;
        const bool utf8 = platform::isValidUtf8(e->d_name, qsizetype(len));
        anyOther = anyOther || !utf8;
        entries.push_back({QByteArray(e->d_name, qsizetype(len)),
                           platform::decodeFileName(e->d_name, qsizetype(len)), e->d_type, utf8});
    }
    const int readError = errno;
    ::closedir(dir);
    if (readError != 0) {
        errno = readError;
        return false;
    }
    // A name read as Windows-1252 that another entry has in UTF-8 would open that other entry.
    QSet<QString> utf8Names;
    if (anyOther)
        for (const Entry& e : entries)
            if (e.utf8)
                utf8Names.insert(e.name);
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.name < b.name; });

    for (const Entry& e : entries) {
        unsigned char type = e.type;
        struct stat st;
        if (type == DT_UNKNOWN) {
            if (::fstatat(dirFd, e.bytes.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue; // gone since it was read
            type = S_ISDIR(st.st_mode)   ? DT_DIR
                   : S_ISREG(st.st_mode) ? DT_REG
                   : S_ISLNK(st.st_mode) ? DT_LNK
                                         : DT_UNKNOWN;
        }
        if (type == DT_LNK) {
            // A link is a file of the web when it leads to a plain file inside the web.
            Fd target(::openat(dirFd, e.bytes.constData(), O_PATH | O_CLOEXEC));
            if (target.get() < 0 || ::fstat(target.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
                !insideRoot(target.get(), rootNative))
                continue;
            type = DT_REG;
        }
        if (type != DT_REG && type != DT_DIR)
            continue;
        const bool isFolder = type == DT_DIR;
        if (isFolder && isHiddenFolder(e.name))
            continue;
        const QString* reason = !platform::isListableName(e.name)       ? &kControlName
                                : !e.utf8 && utf8Names.contains(e.name) ? &kTakenName
                                                                        : nullptr;
        if (reason) {
            out.unlisted.append({address, platform::listableForm(e.name), *reason, isFolder});
            continue;
        }
        if (isFolder) {
            out.folders.append(e.name);
            out.folderBytes.push_back(e.bytes);
        } else {
            out.files.append(e.name);
        }
    }
    return true;
}

bool isPlainFile(const QString& path) {
    struct stat st;
    const int fd = platform::openNative(path, O_PATH);
    const bool plain = fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (fd >= 0)
        ::close(fd);
    return plain;
}

PageListing pageListing(const QString& address, FolderContents& contents) {
    PageListing listing;
    listing.pages.reserve(contents.files.size());
    for (const QString& f : std::as_const(contents.files))
        listing.pages.append(joined(address, f));
    listing.unlisted = std::move(contents.unlisted);
    return listing;
}

// The local copy of a page is the caller's scratch file, written for every page of a batch: it is
// overwritten in place, since a replace that flushes to disk costs a hundred times as much. A
// write that fails is an error, so a partly written copy is never taken for the page.

// A page opened for reading. Only a regular file is a page, and it is opened without waiting, so
// that a FIFO in the web cannot hold the program.
void openPage(QFile& in, const QString& address, const QString& path) {
    const int fd = platform::openNative(path, O_RDONLY | O_NONBLOCK);
    if (fd < 0)
        throw HostError(pageUnreadable(address, systemError(errno)));
    in.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    struct stat st;
    if (::fstat(fd, &st) != 0)
        throw HostError(pageUnreadable(address, systemError(errno)));
    if (S_ISDIR(st.st_mode))
        throw HostError(pageUnreadable(address, systemError(EISDIR)));
    if (!S_ISREG(st.st_mode))
        throw HostError(
            QStringLiteral("The page %1 cannot be read: it is not a regular file.").arg(address));
}

class LocalExplorer : public Explorer {
public:
    explicit LocalExplorer(LocalWeb& web) : m_web(web) {}

    void vtiGetDocToFile(QString& address, const QString& localPath) override {
        QFile in;
        openPage(in, address, m_web.pathOf(address));
        // Copied in blocks, so that a page of any size costs little memory.
        QFile out(localPath);
        if (!out.open(QIODevice::ReadWrite))
            throw HostError(platform::EFCreateError(localPath, out.errorString()).message());
        QByteArray block(1 << 16, Qt::Uninitialized);
        qint64 total = 0;
        for (;;) {
            const qint64 n = in.read(block.data(), block.size());
            if (n < 0)
                throw HostError(pageUnreadable(address, in.errorString()));
            if (n == 0)
                break;
            if (out.write(block.constData(), n) != n)
                throw HostError(platform::EFCreateError(localPath, out.errorString()).message());
            total += n;
        }
        if (!out.flush() || !out.resize(total))
            throw HostError(platform::EFCreateError(localPath, out.errorString()).message());
    }

    PageListing vtigetpagesinfolder(const QString& folder, int) override {
        return m_web.filesInFolder(folder);
    }

    QStringList webFolders() override { return m_web.folders(); }

private:
    LocalWeb& m_web;
};

class LocalEditor : public Editor {
public:
    explicit LocalEditor(LocalWeb& web) : m_web(web) {}

    QString vtiGetTopPageURL() override {
        const QString page = m_web.openPageAddress();
        if (page.isEmpty())
            throw HostError(QStringLiteral("No page is open in the web host."));
        if (!isPlainFile(m_web.pathOf(page)))
            throw HostError(QStringLiteral("The open page %1 no longer exists.").arg(page));
        return page;
    }

    QString vtiGetMetaTag(QString& address, const QString&, const QString& name, int,
                          int) override {
        const QString text = read(address).text;
        const auto span = findMetaTag(text, name);
        return span ? span->content : QString();
    }

    void vtiSetMetaTag(QString& address, const QString&, const QString& name, QString& content, int,
                       int) override {
        const QString path = m_web.writablePathOf(address);
        const std::optional<QByteArray> changed =
            withMetaTagBytes(readBytes(address), name, content);
        if (!changed)
            return; // the tag holds that content already: the page is not rewritten
        try {
            platform::writeFileAtomically(path, *changed);
        } catch (const platform::Error& e) {
            throw HostError(e.message());
        }
    }

private:
    QByteArray readBytes(const QString& address) {
        QFile in;
        openPage(in, address, m_web.pathOf(address));
        const QByteArray bytes = in.readAll();
        if (in.error() != QFileDevice::NoError)
            throw HostError(pageUnreadable(address, in.errorString()));
        return bytes;
    }
    platform::DecodedText read(const QString& address) {
        return platform::decodeText(readBytes(address));
    }

    LocalWeb& m_web;
};

} // namespace

LocalWeb::LocalWeb(QString registryPath, QString dataFolder)
    : m_registryPath(std::move(registryPath)), m_dataFolder(std::move(dataFolder)) {
    load();
}

bool LocalWeb::isSampleWeb() const {
    return !m_dataFolder.isEmpty() &&
           QDir::cleanPath(QFileInfo(m_web).absoluteFilePath()) ==
               QDir::cleanPath(QDir(m_dataFolder).absoluteFilePath(QStringLiteral("sampleweb")));
}

LocalWeb LocalWeb::onFolder(const QString& folder) {
    const QFileInfo info(folder);
    if (!info.isDir())
        throw HostError(notAWeb(folder));
    LocalWeb web;
    web.setWeb(info.absoluteFilePath());
    return web;
}

void LocalWeb::load() {
    platform::RegistryStore reg(m_registryPath);
    if (reg.openKeyReadOnly(kStateKey)) {
        setWeb(reg.readString(QStringLiteral("web")));
        m_page = reg.readString(QStringLiteral("page"));
    }
    if (m_web.isEmpty() || !QFileInfo(m_web).isDir()) {
        setWeb(QDir(m_dataFolder).filePath(QStringLiteral("sampleweb")));
        if (m_page.isEmpty() || !QFileInfo(QDir(m_web).filePath(m_page)).isFile())
            m_page = QStringLiteral("index.htm");
    }
}

void LocalWeb::setWeb(const QString& folder) {
    m_web = folder;
    m_root.clear();
    m_rootNative.clear();
    // Kept from when the web was set, since every address is resolved against it.
    if (char* real = ::realpath(platform::nativePath(m_web).constData(), nullptr)) {
        m_rootNative = real;
        std::free(real);
        m_root = platform::decodeFileName(m_rootNative);
    }
}

void LocalWeb::save() {
    platform::RegistryStore reg(m_registryPath);
    if (!reg.openKey(kStateKey, true) || !reg.writeString(QStringLiteral("web"), m_web) ||
        !reg.writeString(QStringLiteral("page"), m_page))
        throw HostError(
            QStringLiteral("The web host cannot keep its state: %1").arg(reg.lastError()));
}

std::unique_ptr<Explorer> LocalWeb::createExplorer() {
    if (!QFileInfo(m_web).isDir())
        throw HostError(webCannotOpen(m_web));
    return std::make_unique<LocalExplorer>(*this);
}

std::unique_ptr<Editor> LocalWeb::createEditor() {
    return std::make_unique<LocalEditor>(*this);
}

void LocalWeb::openWeb(const QString& folder) {
    const QFileInfo info(folder);
    if (!info.isDir())
        throw HostError(notAWeb(folder));
    setWeb(info.absoluteFilePath());
    m_page = QFileInfo(QDir(m_web).filePath(QStringLiteral("index.htm"))).isFile()
                 ? QStringLiteral("index.htm")
                 : QString();
    save();
}

void LocalWeb::openPage(const QString& address) {
    const QString path = pathOf(address);
    if (!isPlainFile(path))
        throw HostError(QStringLiteral("The page %1 does not exist.").arg(address));
    m_page = cleanAddress(address, false);
    save();
}

QString LocalWeb::pathOf(const QString& address) const {
    const QString clean = cleanAddress(address, false);
    const QString path = QDir(m_web).filePath(clean);
    const QByteArray native = platform::nativePath(path);
    char* real = ::realpath(native.constData(), nullptr);
    if (real) {
        const QByteArray canonical(real);
        std::free(real);
        if (m_rootNative.isEmpty() ||
            !canonical.startsWith(m_rootNative.endsWith('/') ? m_rootNative : m_rootNative + '/'))
            throw HostError(outsideWeb(address));
        return path;
    }
    if (errno == ENAMETOOLONG) {
        // Deep in the web: its folder is opened name by name, which confines it, then the name.
        const qsizetype slash = clean.lastIndexOf(QLatin1Char('/'));
        const Fd dir(openFolder(slash < 0 ? QString() : clean.left(slash)));
        const QByteArray name = platform::nativePath(clean.mid(slash + 1));
        struct stat st;
        if (::fstatat(dir.get(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISLNK(st.st_mode)) {
            const Fd target(::openat(dir.get(), name.constData(), O_PATH | O_CLOEXEC));
            if (target.get() >= 0 && !insideRoot(target.get(), m_rootNative))
                throw HostError(outsideWeb(address));
        }
    }
    return path;
}

QString LocalWeb::writablePathOf(const QString& address) const {
    const QString path = pathOf(address);
    // A page is written through its name's UTF-8 form; another form would make a second file.
    if (platform::nativePath(path) != path.toUtf8())
        throw HostError(QStringLiteral("The page %1 cannot be written: its file name is not UTF-8.")
                            .arg(address));
    return path;
}

int LocalWeb::openFolder(const QString& folder) const {
    const QString clean = cleanAddress(folder, true);
    if (m_rootNative.isEmpty())
        throw HostError(webCannotOpen(m_web));
    Fd dir(::open(m_rootNative.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0)
        throw HostError(
            QStringLiteral("The web folder %1 cannot be read: %2").arg(m_web, systemError(errno)));
    if (clean.isEmpty())
        return dir.release();
    // In one call where the kernel can take the path: beneath the root and through no link, as the
    // walk below checks name by name. Links, names kept in Windows-1252, paths too long for one
    // call and every failure take the walk, which also says why.
    {
        const QByteArray utf8 = clean.toUtf8();
        open_how how{};
        how.flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS;
        const int fd = int(::syscall(SYS_openat2, dir.get(), utf8.constData(), &how, sizeof how));
        if (fd >= 0)
            return fd;
    }
    // Name by name from the root: no path grows with the depth, and a link is followed only
    // where it stays inside the web.
    for (const QString& name : clean.split(QLatin1Char('/'))) {
        const QByteArray utf8 = name.toUtf8();
        int fd =
            ::openat(dir.get(), utf8.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT && platform::fitsWindows1252(name) &&
            utf8.size() != name.size())
            fd = ::openat(dir.get(), platform::encodeWindows1252(name).constData(),
                          O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0 && errno == ELOOP) {
            fd = ::openat(dir.get(), utf8.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (fd >= 0 && !insideRoot(fd, m_rootNative)) {
                ::close(fd);
                throw HostError(QStringLiteral("The folder %1 is outside the web.").arg(folder));
            }
        }
        if (fd < 0) {
            if (errno == ENOENT || errno == ENOTDIR || errno == ELOOP)
                throw HostError(QStringLiteral("The folder %1 is not in the web.").arg(folder));
            throw HostError(folderUnreadable(folder, systemError(errno)));
        }
        dir.reset(fd);
    }
    return dir.release();
}

PageListing LocalWeb::filesInFolder(const QString& folder) const {
    const QString address = cleanAddress(folder, true);
    Fd dir(openFolder(folder));
    FolderContents contents;
    if (!readFolder(dir.get(), address, m_rootNative, contents))
        throw HostError(folderUnreadable(folder, systemError(errno)));
    return pageListing(address, contents);
}

LocalWeb::WebListing LocalWeb::listWeb() const {
    WebListing web;
    Fd dir(openFolder(QString()));
    // Depth first with one folder open at a time: down by name, back up by "..", checked to be
    // the folder that was left.
    struct Level {
        QString address;
        dev_t dev;
        ino_t ino;
        QStringList folders;
        std::vector<QByteArray> folderBytes;
        qsizetype next = 0;
    };
    std::vector<Level> levels;
    const auto enter = [&](int fd, const QString& address) {
        FolderContents contents;
        Level level{address, 0, 0, {}, {}, 0};
        if (!dirIdentity(fd, level.dev, level.ino) ||
            !readFolder(fd, address, m_rootNative, contents)) {
            web.unreadable.append(folderUnreadable(address, systemError(errno)));
            web.folders.append({address, {}});
            return false;
        }
        level.folders = std::move(contents.folders);
        level.folderBytes = std::move(contents.folderBytes);
        web.folders.append({address, pageListing(address, contents)});
        levels.push_back(std::move(level));
        return true;
    };
    if (!enter(dir.get(), QString()))
        throw HostError(web.unreadable.first());
    while (!levels.empty()) {
        Level& level = levels.back();
        if (level.next < level.folders.size()) {
            const qsizetype i = level.next++;
            const QString address = joined(level.address, level.folders.at(i));
            Fd child(::openat(dir.get(), level.folderBytes[size_t(i)].constData(),
                              O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (child.get() < 0) {
                web.unreadable.append(folderUnreadable(address, systemError(errno)));
                web.folders.append({address, {}});
            } else if (enter(child.get(), address)) {
                dir.reset(child.release());
            }
            continue;
        }
        levels.pop_back();
        if (levels.empty())
            break;
        const Level& up = levels.back();
        int fd = ::openat(dir.get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        dev_t dev = 0;
        ino_t ino = 0;
        if (fd >= 0 && (!dirIdentity(fd, dev, ino) || dev != up.dev || ino != up.ino)) {
            // Moved while it was listed: the folder is opened afresh from the root.
            ::close(fd);
            fd = openFolder(up.address);
        }
        if (fd < 0)
            throw HostError(folderUnreadable(up.address, systemError(errno)));
        dir.reset(fd);
    }
    std::sort(web.folders.begin() + 1, web.folders.end(),
              [](const FolderListing& a, const FolderListing& b) {
                  return platform::caseFoldedLess(a.folder, b.folder);
              });
    return web;
}

QStringList LocalWeb::folders() const {
    QStringList out;
    if (m_rootNative.isEmpty())
        return out;
    const WebListing web = listWeb();
    for (qsizetype i = 1; i < web.folders.size(); ++i)
        out.append(web.folders.at(i).folder);
    return out;
}

QStringList LocalWeb::allFiles() const {
    QStringList out;
    for (const FolderListing& f : listWeb().folders)
        out += f.listing.pages;
    return out;
}

} // namespace webhost
