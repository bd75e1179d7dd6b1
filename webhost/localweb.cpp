#include "localweb.h"

#include "metatags.h"
#include "platform/registrystore.h"
#include "platform/textcodec.h"
#include "platform/textfile.h"

#include <QDir>
#include <QFile>
#include <QDirIterator>
#include <QFileInfo>
#include <QSaveFile>

namespace webhost {

const QString LocalWeb::kStateKey = QStringLiteral("\\Software\\VRNH\\LocalWeb");

namespace {

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
        throw HostError(QStringLiteral("The address %1 is outside the web.").arg(address));
    const QStringList parts = a.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& p : parts)
        if (p == QLatin1String(".."))
            throw HostError(QStringLiteral("The address %1 is outside the web.").arg(address));
    return parts.join(QLatin1Char('/'));
}

bool isHiddenFolder(const QString& name) {
    return name.startsWith(QLatin1Char('.')) || name.startsWith(QLatin1Char('_'));
}

// The local copy of a page is the caller's scratch file, written for every page of a batch: it is
// overwritten in place, since a replace that flushes to disk costs a hundred times as much. A
// write that fails is an error, so a partly written copy is never taken for the page.

class LocalExplorer : public Explorer {
public:
    explicit LocalExplorer(LocalWeb& web) : m_web(web) {}

    void vtiGetDocToFile(QString& address, const QString& localPath) override {
        const QString path = m_web.pathOf(address);
        QFile in(path);
        if (QFileInfo(path).isDir() || !in.open(QIODevice::ReadOnly))
            throw HostError(QStringLiteral("The page %1 cannot be read: %2").arg(address, in.errorString()));
        // Copied in blocks, so that a page of any size costs little memory.
        QFile out(localPath);
        if (!out.open(QIODevice::ReadWrite))
            throw HostError(platform::EFCreateError(localPath, out.errorString()).message());
        QByteArray block(1 << 16, Qt::Uninitialized);
        qint64 total = 0;
        for (;;) {
            const qint64 n = in.read(block.data(), block.size());
            if (n < 0)
                throw HostError(QStringLiteral("The page %1 cannot be read: %2").arg(address, in.errorString()));
            if (n == 0)
                break;
            if (out.write(block.constData(), n) != n)
                throw HostError(platform::EFCreateError(localPath, out.errorString()).message());
            total += n;
        }
        if (!out.flush() || !out.resize(total))
            throw HostError(platform::EFCreateError(localPath, out.errorString()).message());
    }

    QString vtigetpagesinfolder(const QString& folder, int) override {
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
        if (!QFileInfo(m_web.pathOf(page)).isFile())
            throw HostError(QStringLiteral("The open page %1 no longer exists.").arg(page));
        return page;
    }

    QString vtiGetMetaTag(QString& address, const QString&, const QString& name, int, int) override {
        const QString text = read(address).text;
        const auto span = findMetaTag(text, name);
        return span ? span->content : QString();
    }

    void vtiSetMetaTag(QString& address, const QString&, const QString& name, QString& content, int, int) override {
        const QString path = m_web.pathOf(address);
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
        try {
            return platform::readFileBytes(m_web.pathOf(address));
        } catch (const platform::Error& e) {
            throw HostError(QStringLiteral("The page %1 cannot be read: %2").arg(address, e.message()));
        }
    }
    platform::DecodedText read(const QString& address) {
        return platform::decodeText(readBytes(address));
    }

    LocalWeb& m_web;
};

} // namespace

LocalWeb::LocalWeb(QString registryPath, QString programFolder)
    : m_registryPath(std::move(registryPath)), m_programFolder(std::move(programFolder)) {
    load();
}

LocalWeb LocalWeb::onFolder(const QString& folder) {
    const QFileInfo info(folder);
    if (!info.isDir())
        throw HostError(QStringLiteral("The folder %1 cannot be opened as a web.").arg(folder));
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
        setWeb(QDir(m_programFolder).filePath(QStringLiteral("sampleweb")));
        if (m_page.isEmpty() || !QFileInfo(QDir(m_web).filePath(m_page)).isFile())
            m_page = QStringLiteral("index.htm");
    }
}

void LocalWeb::setWeb(const QString& folder) {
    m_web = folder;
    m_root = QFileInfo(m_web).canonicalFilePath();
}

QString LocalWeb::root() const {
    // Kept from when the web was set, since every address is resolved against it.
    return m_root.isEmpty() ? QFileInfo(m_web).canonicalFilePath() : m_root;
}

void LocalWeb::save() {
    platform::RegistryStore reg(m_registryPath);
    if (!reg.openKey(kStateKey, true) || !reg.writeString(QStringLiteral("web"), m_web) ||
        !reg.writeString(QStringLiteral("page"), m_page))
        throw HostError(QStringLiteral("The web host cannot keep its state: %1").arg(reg.lastError()));
}

std::unique_ptr<Explorer> LocalWeb::createExplorer() {
    if (!QFileInfo(m_web).isDir())
        throw HostError(QStringLiteral("The web folder %1 cannot be opened.").arg(m_web));
    return std::make_unique<LocalExplorer>(*this);
}

std::unique_ptr<Editor> LocalWeb::createEditor() {
    return std::make_unique<LocalEditor>(*this);
}

void LocalWeb::openWeb(const QString& folder) {
    const QFileInfo info(folder);
    if (!info.isDir())
        throw HostError(QStringLiteral("The folder %1 cannot be opened as a web.").arg(folder));
    setWeb(info.absoluteFilePath());
    m_page = QFileInfo(QDir(m_web).filePath(QStringLiteral("index.htm"))).isFile() ? QStringLiteral("index.htm")
                                                                                     : QString();
    save();
}

void LocalWeb::openPage(const QString& address) {
    const QString path = pathOf(address);
    if (!QFileInfo(path).isFile())
        throw HostError(QStringLiteral("The page %1 does not exist.").arg(address));
    m_page = cleanAddress(address, false);
    save();
}

QString LocalWeb::pathOf(const QString& address) const {
    const QString clean = cleanAddress(address, false);
    const QString root = this->root();
    const QString path = QDir(m_web).filePath(clean);
    const QFileInfo info(path);
    if (info.exists()) {
        const QString canonical = info.canonicalFilePath();
        if (root.isEmpty() || !canonical.startsWith(root + QLatin1Char('/')))
            throw HostError(QStringLiteral("The address %1 is outside the web.").arg(address));
    }
    return path;
}

QString LocalWeb::folderPath(const QString& folder) const {
    const QString clean = cleanAddress(folder, true);
    const QString root = this->root();
    if (root.isEmpty())
        throw HostError(QStringLiteral("The web folder %1 cannot be opened.").arg(m_web));
    if (clean.isEmpty())
        return root;
    const QFileInfo info(QDir(m_web).filePath(clean));
    if (!info.isDir())
        throw HostError(QStringLiteral("The folder %1 is not in the web.").arg(folder));
    if (!info.canonicalFilePath().startsWith(root + QLatin1Char('/')))
        throw HostError(QStringLiteral("The folder %1 is outside the web.").arg(folder));
    return info.canonicalFilePath();
}

QString LocalWeb::filesInFolder(const QString& folder) const {
    const QString dirPath = folderPath(folder);
    const QString root = this->root();
    const QString prefix = cleanAddress(folder, true);
    QStringList lines;
    const QFileInfoList entries = QDir(dirPath).entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo& f : entries) {
        // The folder is inside the web, so only a link can lead outside it.
        if (f.isSymLink() && !f.canonicalFilePath().startsWith(root + QLatin1Char('/')))
            continue;
        lines.append(prefix.isEmpty() ? f.fileName() : prefix + QLatin1Char('/') + f.fileName());
    }
    return lines.join(QLatin1Char('\n'));
}

QStringList LocalWeb::folders() const {
    const QString root = this->root();
    QStringList out;
    if (root.isEmpty())
        return out;
    QStringList pending{QString()};
    while (!pending.isEmpty()) {
        const QString rel = pending.takeFirst();
        const QDir dir(rel.isEmpty() ? root : root + QLatin1Char('/') + rel);
        const QFileInfoList subs = dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        for (const QFileInfo& d : subs) {
            if (isHiddenFolder(d.fileName()) || d.isSymLink())
                continue;
            const QString child = rel.isEmpty() ? d.fileName() : rel + QLatin1Char('/') + d.fileName();
            out.append(child);
            pending.append(child);
        }
    }
    out.sort(Qt::CaseInsensitive);
    return out;
}

QStringList LocalWeb::allFiles() const {
    QStringList out;
    QStringList all{QString()};
    all += folders();
    for (const QString& f : all) {
        const QString listing = filesInFolder(f);
        if (!listing.isEmpty())
            out += listing.split(QLatin1Char('\n'));
    }
    return out;
}

} // namespace webhost
