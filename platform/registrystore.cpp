#include "registrystore.h"

#include "errors.h"
#include "textcodec.h"
#include "textfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>

#include <mutex>

#include <cerrno>
#include <sys/stat.h>

namespace platform {

namespace {

QString noSuchKey(const QString& path) {
    return QStringLiteral("Key %1 does not exist").arg(path);
}

QString noFolderFor(const QString& path) {
    return QStringLiteral("Cannot create the folder of %1").arg(path);
}

const QString kRoot = QStringLiteral("HKEY_LOCAL_MACHINE");
constexpr int kLockWaitMs = 10000;
constexpr int kStaleLockMs = 5000;

bool keyEquals(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool isUnder(const QString& key, const QString& parent) {
    return key.size() > parent.size() + 1 && key.at(parent.size()) == QLatin1Char('\\') &&
           key.startsWith(parent, Qt::CaseInsensitive);
}

QString escape(const QString& s) {
    QString out;
    out.reserve(s.size() + 2);
    for (QChar c : s) {
        switch (c.unicode()) {
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '"':
            out += QLatin1String("\\\"");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        default:
            out += c;
        }
    }
    return out;
}

// Reads a quoted string at pos; false when it is not one of ours.
bool readQuoted(const QString& line, qsizetype& pos, QString& out) {
    if (pos >= line.size() || line.at(pos) != QLatin1Char('"'))
        return false;
    ++pos;
    out.clear();
    while (pos < line.size()) {
        const QChar c = line.at(pos++);
        if (c == QLatin1Char('"'))
            return true;
        if (c != QLatin1Char('\\')) {
            out += c;
            continue;
        }
        if (pos >= line.size())
            return false;
        switch (line.at(pos++).unicode()) {
        case '\\':
            out += QLatin1Char('\\');
            break;
        case '"':
            out += QLatin1Char('"');
            break;
        case 'r':
            out += QLatin1Char('\r');
            break;
        case 'n':
            out += QLatin1Char('\n');
            break;
        case 't':
            out += QLatin1Char('\t');
            break;
        default:
            return false;
        }
    }
    return false;
}

void skipBlanks(const QString& line, qsizetype& pos) {
    while (pos < line.size() &&
           (line.at(pos) == QLatin1Char(' ') || line.at(pos) == QLatin1Char('\t')))
        ++pos;
}

bool parseValueLine(const QString& line, QString& name, QString& value) {
    qsizetype pos = 0;
    skipBlanks(line, pos);
    if (!readQuoted(line, pos, name))
        return false;
    skipBlanks(line, pos);
    if (pos >= line.size() || line.at(pos) != QLatin1Char('='))
        return false;
    ++pos;
    skipBlanks(line, pos);
    if (!readQuoted(line, pos, value))
        return false;
    skipBlanks(line, pos);
    return pos == line.size();
}

bool isBlank(const RegistryStore::Entry& e) {
    return !e.isValue && e.raw.trimmed().isEmpty();
}

// One line on its own, so that a single byte that is not UTF-8 spoils no other line.
QString decodeLine(const QByteArray& bytes) {
    if (isValidUtf8(bytes.constData(), bytes.size()))
        return QString::fromUtf8(bytes);
    return decodeWindows1252(bytes);
}

const QByteArray kUtf8Bom("\xEF\xBB\xBF");

std::mutex& holdsMutex() {
    static std::mutex m;
    return m;
}

// path, reason
QList<std::pair<QString, QString>>& holds() {
    static QList<std::pair<QString, QString>> list;
    return list;
}

} // namespace

RegistryWriteHold::RegistryWriteHold(const QString& filePath, QString reason)
    : m_path(QFileInfo(filePath).absoluteFilePath()), m_reason(std::move(reason)) {
    const std::lock_guard<std::mutex> lock(holdsMutex());
    holds().append({m_path, m_reason});
}

RegistryWriteHold::~RegistryWriteHold() {
    const std::lock_guard<std::mutex> lock(holdsMutex());
    auto& list = holds();
    for (qsizetype i = 0; i < list.size(); ++i)
        if (list.at(i).first == m_path && list.at(i).second == m_reason) {
            list.removeAt(i);
            break;
        }
}

QString RegistryWriteHold::reasonFor(const QString& filePath) {
    const std::lock_guard<std::mutex> lock(holdsMutex());
    if (holds().isEmpty())
        return QString();
    const QString path = QFileInfo(filePath).absoluteFilePath();
    for (const auto& [held, reason] : holds())
        if (held == path)
            return reason;
    return QString();
}

RegistryStore::Section* RegistryStore::Document::find(const QString& key) {
    for (Section& s : sections)
        if (s.local && keyEquals(s.key, key))
            return &s;
    return nullptr;
}

const RegistryStore::Section* RegistryStore::Document::find(const QString& key) const {
    return const_cast<Document*>(this)->find(key);
}

RegistryStore::RegistryStore(QString filePath) : m_path(std::move(filePath)) {}

QString RegistryStore::defaultPath() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/VRNH/registry.reg");
}

QString RegistryStore::normaliseKey(const QString& key) {
    QStringList parts = key.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    if (!parts.isEmpty() && keyEquals(parts.first(), kRoot))
        parts.removeFirst();
    return parts.join(QLatin1Char('\\'));
}

RegistryStore::Document RegistryStore::parse(const QByteArray& bytes) {
    Document doc;
    Section* cur = nullptr;
    const qsizetype n = bytes.size();
    const char* d = bytes.constData();
    for (qsizetype start = 0; start < n;) {
        qsizetype end = start;
        while (end < n && d[end] != '\r' && d[end] != '\n')
            ++end;
        qsizetype next = end;
        if (next < n)
            next += (d[next] == '\r' && next + 1 < n && d[next + 1] == '\n') ? 2 : 1;
        QByteArray content = bytes.mid(start, end - start);
        if (start == 0 && content.startsWith(kUtf8Bom))
            content.remove(0, kUtf8Bom.size());
        const QString line = decodeLine(content);
        const QByteArray lineBytes = bytes.mid(start, next - start);
        start = next;

        const QString t = line.trimmed();
        if (t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']')) && t.size() >= 2) {
            Section s;
            s.header = line;
            s.headerBytes = lineBytes;
            const QString path = t.mid(1, t.size() - 2);
            const QStringList parts = path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
            s.local = !parts.isEmpty() && keyEquals(parts.first(), kRoot);
            if (s.local)
                s.key = normaliseKey(path);
            doc.sections.append(s);
            cur = &doc.sections.last();
            continue;
        }
        Entry e;
        e.bytes = lineBytes;
        if (cur && !t.startsWith(QLatin1Char(';')) && parseValueLine(line, e.name, e.value))
            e.isValue = true;
        else
            e.raw = line;
        (cur ? cur->entries : doc.preamble).append(e);
    }
    return doc;
}

QByteArray RegistryStore::serialize(const Document& doc) {
    QByteArray out;
    bool open = false; // the last line put has no line end of its own
    const auto put = [&](const QByteArray& kept, const QString& text) {
        if (open)
            out += "\r\n";
        if (kept.isEmpty()) {
            out += text.toUtf8();
            out += "\r\n";
            open = false;
        } else {
            out += kept;
            open = !kept.endsWith('\n') && !kept.endsWith('\r');
        }
    };
    qsizetype from = 0;
    if (doc.preamble.isEmpty() || doc.preamble.first().raw.trimmed() != QLatin1String("REGEDIT4")) {
        // The byte-order mark stays at the very start.
        QByteArray first = doc.preamble.isEmpty() ? QByteArray() : doc.preamble.first().bytes;
        if (first.startsWith(kUtf8Bom)) {
            out += kUtf8Bom;
            first.remove(0, kUtf8Bom.size());
        }
        put(QByteArray(), QStringLiteral("REGEDIT4"));
        if (doc.preamble.isEmpty()) {
            put(QByteArray(), QString());
        } else {
            put(first, doc.preamble.first().raw);
            from = 1;
        }
    }
    for (qsizetype i = from; i < doc.preamble.size(); ++i)
        put(doc.preamble.at(i).bytes, doc.preamble.at(i).raw);
    for (const Section& s : doc.sections) {
        put(s.headerBytes, s.header);
        for (const Entry& e : s.entries) {
            if (!e.bytes.isEmpty())
                put(e.bytes, QString());
            else if (e.isValue)
                put(QByteArray(), QLatin1Char('"') + escape(e.name) + QLatin1String("\"=\"") +
                                      escape(e.value) + QLatin1Char('"'));
            else
                put(QByteArray(), e.raw);
        }
    }
    return out;
}

bool RegistryStore::load(Document& doc) {
    m_cannotRead = false;
    struct stat info;
    if (::stat(QFile::encodeName(m_path).constData(), &info) != 0 &&
        (errno == ENOENT || errno == ENOTDIR)) {
        doc = Document();
        return true;
    }
    try {
        doc = parse(readFileBytes(m_path));
    } catch (const Error& e) {
        m_error = e.message();
        m_cannotRead = true;
        return false;
    } catch (const std::exception& e) {
        m_error = QStringLiteral("Cannot read %1: %2").arg(m_path, QString::fromUtf8(e.what()));
        m_cannotRead = true;
        return false;
    }
    return true;
}

bool RegistryStore::writesHeld() {
    const QString reason = RegistryWriteHold::reasonFor(m_path);
    if (reason.isEmpty())
        return false;
    m_error = QStringLiteral("%1 is not written: %2").arg(m_path, reason);
    return true;
}

bool RegistryStore::takeLock(QLockFile& lock) {
    // A writer killed between creating the lock file and writing its process id into it leaves
    // an empty lock that no process id can clear; a write takes far less than this.
    lock.setStaleLockTime(kStaleLockMs);
    // Something that is not a lock file in its place can never be taken: do not wait for it.
    const QFileInfo info(m_path + QStringLiteral(".lock"));
    if ((info.exists() && !info.isFile()) || !lock.tryLock(kLockWaitMs)) {
        m_error = QStringLiteral("Cannot lock %1").arg(m_path);
        return false;
    }
    return true;
}

bool RegistryStore::canWrite() {
    if (writesHeld())
        return false;
    const QFileInfo info(m_path);
    if (!QDir().mkpath(info.absolutePath())) {
        m_error = noFolderFor(m_path);
        return false;
    }
    if (info.exists() && (!info.isFile() || !info.isWritable())) {
        m_error = QStringLiteral("%1 cannot be written").arg(m_path);
        return false;
    }
    QLockFile lock(m_path + QStringLiteral(".lock"));
    if (!takeLock(lock))
        return false;
    return true;
}

bool RegistryStore::commit(const std::function<bool(Document&)>& change) {
    if (writesHeld())
        return false;
    if (!QDir().mkpath(QFileInfo(m_path).absolutePath())) {
        m_error = noFolderFor(m_path);
        return false;
    }
    QLockFile lock(m_path + QStringLiteral(".lock"));
    if (!takeLock(lock))
        return false;
    Document doc;
    if (!load(doc))
        return false;
    if (!change(doc)) {
        m_doc = doc;
        return true; // nothing to write
    }
    QSaveFile f(m_path);
    if (!f.open(QIODevice::WriteOnly)) {
        m_error = f.errorString();
        return false;
    }
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const QByteArray bytes = serialize(doc);
    if (f.write(bytes) != bytes.size() || !f.commit()) {
        m_error = f.errorString();
        f.cancelWriting();
        return false;
    }
    m_doc = doc;
    return true;
}

QString RegistryStore::resolve(const QString& key) const {
    if (!key.startsWith(QLatin1Char('\\')) && !m_current.isEmpty())
        return normaliseKey(m_current + QLatin1Char('\\') + key);
    return normaliseKey(key);
}

static bool documentHasKey(const RegistryStore::Document& doc, const QString& key) {
    for (const RegistryStore::Section& s : doc.sections)
        if (s.local && (keyEquals(s.key, key) || isUnder(s.key, key)))
            return true;
    return false;
}

static void addSection(RegistryStore::Document& doc, const QString& key) {
    if (!doc.sections.isEmpty() && !doc.sections.last().entries.isEmpty() &&
        !isBlank(doc.sections.last().entries.last())) {
        RegistryStore::Entry blank;
        doc.sections.last().entries.append(blank);
    } else if (doc.sections.isEmpty() && !doc.preamble.isEmpty() && !isBlank(doc.preamble.last())) {
        doc.preamble.append(RegistryStore::Entry());
    }
    RegistryStore::Section s;
    s.key = key;
    s.local = true;
    s.header = QLatin1Char('[') + kRoot + QLatin1Char('\\') + key + QLatin1Char(']');
    doc.sections.append(s);
}

bool RegistryStore::openKey(const QString& key, bool canCreate) {
    const QString path = resolve(key);
    m_error.clear();
    if (path.isEmpty()) {
        m_error = QStringLiteral("Empty key");
        return false;
    }
    Document doc;
    if (!load(doc) || !canWrite())
        return false;
    if (!documentHasKey(doc, path)) {
        if (!canCreate) {
            m_error = noSuchKey(path);
            return false;
        }
        const bool ok = commit([&](Document& d) {
            if (documentHasKey(d, path))
                return false;
            addSection(d, path);
            return true;
        });
        if (!ok)
            return false;
    } else {
        m_doc = doc;
    }
    m_current = path;
    m_writable = true;
    return true;
}

bool RegistryStore::openKeyReadOnly(const QString& key) {
    const QString path = resolve(key);
    m_error.clear();
    Document doc;
    if (path.isEmpty() || !load(doc))
        return false;
    if (!documentHasKey(doc, path)) {
        m_error = noSuchKey(path);
        return false;
    }
    m_doc = doc;
    m_current = path;
    m_writable = false;
    return true;
}

void RegistryStore::closeKey() {
    m_current.clear();
    m_writable = false;
}

bool RegistryStore::keyExists(const QString& key) {
    Document doc;
    if (!load(doc))
        return false;
    return documentHasKey(doc, resolve(key));
}

bool RegistryStore::deleteKey(const QString& key) {
    const QString path = resolve(key);
    if (path.isEmpty())
        return false;
    bool found = false;
    const bool ok = commit([&](Document& d) {
        for (qsizetype i = d.sections.size() - 1; i >= 0; --i) {
            const Section& s = d.sections.at(i);
            if (s.local && (keyEquals(s.key, path) || isUnder(s.key, path))) {
                d.sections.removeAt(i);
                found = true;
            }
        }
        return found;
    });
    return ok && found;
}

const RegistryStore::Section* RegistryStore::currentSection() const {
    return m_current.isEmpty() ? nullptr : m_doc.find(m_current);
}

bool RegistryStore::valueExists(const QString& name) const {
    if (const Section* s = currentSection())
        for (const Entry& e : s->entries)
            if (e.isValue && keyEquals(e.name, name))
                return true;
    return false;
}

QString RegistryStore::readString(const QString& name) const {
    if (const Section* s = currentSection())
        for (const Entry& e : s->entries)
            if (e.isValue && keyEquals(e.name, name))
                return e.value;
    return QString();
}

bool RegistryStore::writeString(const QString& name, const QString& value) {
    if (m_current.isEmpty() || !m_writable) {
        m_error = QStringLiteral("No key is open for writing");
        return false;
    }
    const QString path = m_current;
    return commit([&](Document& d) {
        Section* s = d.find(path);
        if (!s) {
            addSection(d, path);
            s = &d.sections.last();
        }
        for (Entry& e : s->entries) {
            if (e.isValue && keyEquals(e.name, name)) {
                if (e.value == value)
                    return false;
                e.value = value;
                e.bytes.clear(); // written anew
                return true;
            }
        }
        qsizetype at = s->entries.size();
        while (at > 0 && isBlank(s->entries.at(at - 1)))
            --at;
        Entry e;
        e.isValue = true;
        e.name = name;
        e.value = value;
        s->entries.insert(at, e);
        return true;
    });
}

bool RegistryStore::deleteValue(const QString& name) {
    if (m_current.isEmpty() || !m_writable)
        return false;
    bool found = false;
    const QString path = m_current;
    const bool ok = commit([&](Document& d) {
        if (Section* s = d.find(path))
            for (qsizetype i = 0; i < s->entries.size(); ++i)
                if (s->entries.at(i).isValue && keyEquals(s->entries.at(i).name, name)) {
                    s->entries.removeAt(i);
                    found = true;
                    break;
                }
        return found;
    });
    return ok && found;
}

QStringList RegistryStore::valueNames() const {
    QStringList names;
    if (const Section* s = currentSection())
        for (const Entry& e : s->entries)
            if (e.isValue)
                names.append(e.name);
    return names;
}

QStringList RegistryStore::subKeyNames() const {
    QStringList names;
    if (m_current.isEmpty())
        return names;
    for (const Section& s : m_doc.sections) {
        if (!s.local || !isUnder(s.key, m_current))
            continue;
        const QString child = s.key.mid(m_current.size() + 1).section(QLatin1Char('\\'), 0, 0);
        bool seen = false;
        for (const QString& n : names)
            seen = seen || keyEquals(n, child);
        if (!seen)
            names.append(child);
    }
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    return names;
}

} // namespace platform
