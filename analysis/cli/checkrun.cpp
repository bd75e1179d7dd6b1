#include "checkrun.h"

#include "machineoutput.h"

#include "analysis/batch/batchrun.h"
#include "analysis/batch/gathering.h"
#include "analysis/batch/runoutput.h"
#include "analysis/engine/report.h"
#include "analysis/rules/rulestore.h"
#include "analysis/rules/rulevalues.h"
#include "platform/filenames.h"
#include "platform/infooptions.h"
#include "platform/registrystore.h"
#include "platform/textfile.h"
#include "webhost/localweb.h"
#include "webhost/siteweb.h"

#include <QByteArrayView>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace checkcli {

namespace {

// RuleSources kinds.
const QString kFromOption = QStringLiteral("option");
const QString kFromWeb = QStringLiteral("web");
const QString kFromSettings = QStringLiteral("settings");
const QString kFromProgram = QStringLiteral("program");

// A condition that ends the command with status 2.
struct CannotRun {
    QString message;
};

void say(std::FILE* err, const QString& text) {
    std::fprintf(err, "quillmark-check: %s\n", batch::oneLine(text).toLocal8Bit().constData());
}

engine::RuleValues readRules(const RuleSources& sources) {
    engine::RuleValues values = rules::startingRuleValues();
    const bool named = sources.rulesKind != kFromSettings;
    const QString& path = sources.rulesPath;
    platform::RegistryStore reg(path);
    if (reg.openKeyReadOnly(rules::kSettingsKey)) {
        rules::readRuleValues(reg, values);
    } else if (reg.cannotRead()) {
        // Checking against rules other than the user's would report false results.
        const QString what =
            named ? QStringLiteral("the rules file") : QStringLiteral("the registry file");
        throw CannotRun{QStringLiteral("%1 cannot be read: %2").arg(what, reg.lastError())};
    } else if (named) {
        if (!QFileInfo(path).isFile())
            throw CannotRun{QStringLiteral("the rules file %1 cannot be read").arg(path)};
        throw CannotRun{
            QStringLiteral("the rules file %1 holds no key %2").arg(path, rules::kSettingsKey)};
    }
    return values;
}

// The rule table's tag names exactly as the window builds them from the required tag file.
QStringList requiredNames(const QString& path, const engine::RuleValues& values) {
    try {
        return rules::firstColumn(rules::requiredWithDefaults(platform::readLines(path), values));
    } catch (const platform::Error& e) {
        throw CannotRun{
            QStringLiteral("the required tag file cannot be read: %1").arg(e.message())};
    }
}

// What a path names when it is not a plain file; "" for a plain file or nothing at all.
QString notPlainFile(const QString& path) {
    struct stat st;
    const int fd = platform::openNative(path, O_PATH);
    const bool known = fd >= 0 && ::fstat(fd, &st) == 0;
    if (fd >= 0)
        ::close(fd);
    if (!known || S_ISREG(st.st_mode))
        return QString();
    return S_ISDIR(st.st_mode)                          ? QStringLiteral("it is a folder")
           : S_ISFIFO(st.st_mode)                       ? QStringLiteral("it is a named pipe")
           : S_ISSOCK(st.st_mode)                       ? QStringLiteral("it is a socket")
           : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? QStringLiteral("it is a device")
                                                        : QStringLiteral("it is not a plain file");
}

// A named page: an address of the web, or the path of a file inside it.
QString pageAddress(const webhost::LocalWeb& web, const QString& given) {
    QString address = given;
    address.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (address.startsWith(QLatin1String("./")))
        address.remove(0, 2);
    QString refused;
    try {
        const QString path = web.pathOf(address);
        if (QFileInfo(path).isFile())
            return QDir::cleanPath(address);
        const QString kind = notPlainFile(path);
        if (!kind.isEmpty())
            throw CannotRun{QStringLiteral("the page %1 cannot be read: %2").arg(given, kind)};
    } catch (const webhost::HostError& e) {
        refused = e.message(); // unless it is a path of the file system
    }
    const QFileInfo file(given);
    const QString root = QFileInfo(web.webFolder()).canonicalFilePath();
    const bool inside =
        file.exists() && file.canonicalFilePath().startsWith(root + QLatin1Char('/'));
    if (file.isFile() && inside)
        return QDir(root).relativeFilePath(file.canonicalFilePath());
    if (inside)
        throw CannotRun{
            QStringLiteral("the page %1 cannot be read: %2").arg(given, notPlainFile(given))};
    if (file.exists())
        throw CannotRun{
            QStringLiteral("the page %1 is outside the web %2").arg(given, web.webFolder())};
    if (!refused.isEmpty())
        throw CannotRun{refused};
    throw CannotRun{QStringLiteral("the page %1 cannot be read: it is not a file of the web %2")
                        .arg(given, web.webFolder())};
}

// Runs work(i) for i in [0, n) on `jobs` threads.
void parallelFor(int n, int jobs, const std::function<void(int)>& work) {
    std::atomic<int> next{0};
    const auto loop = [&] {
        for (int i = next.fetch_add(1); i < n; i = next.fetch_add(1))
            work(i);
    };
    std::vector<std::thread> threads;
    for (int j = 1; j < std::min(jobs, n); ++j)
        threads.emplace_back(loop);
    loop();
    for (std::thread& t : threads)
        t.join();
}

// The pages of a run from the web's listings, and what the listings could not give.
struct Gathered {
    QStringList rows;
    QList<webhost::UnlistedName> unlisted; // pages and folders whose names cannot be listed
    QStringList unreadable;                // a message for each folder that cannot be read
};

Gathered gatherPages(const webhost::LocalWeb& web, const QStringList& folders, int jobs) {
    Gathered gathered;
    QStringList entries;
    std::vector<webhost::PageListing> listings;
    if (folders.isEmpty()) {
        // One walk over the whole web.
        webhost::LocalWeb::WebListing whole;
        try {
            whole = web.listWeb();
        } catch (const platform::Error& e) {
            throw CannotRun{e.message()};
        }
        for (webhost::LocalWeb::FolderListing& f : whole.folders) {
            entries.append(f.folder.isEmpty() ? batch::kWebRootEntry
                                              : batch::folderEntry(f.folder));
            listings.push_back(std::move(f.listing));
        }
        gathered.unreadable = whole.unreadable;
    } else {
        for (const QString& f : folders)
            entries.append(f.isEmpty() || f == batch::kWebRootEntry ? batch::kWebRootEntry
                                                                    : batch::folderEntry(f));
        // The folders are listed at once; the rules then take the listings in folder order. A
        // folder that cannot be listed is reported and the others are checked.
        std::vector<QString> errors(size_t(entries.size()));
        listings.resize(size_t(entries.size()));
        parallelFor(int(entries.size()), jobs, [&](int i) {
            try {
                listings[size_t(i)] = web.filesInFolder(batch::listingFolder(entries.at(i)));
            } catch (const platform::Error& e) {
                errors[size_t(i)] = e.message();
            }
        });
        for (const QString& e : errors)
            if (!e.isEmpty())
                gathered.unreadable.append(e);
    }
    QStringList folderListing;
    size_t next = 0;
    gathered.rows = batch::gatherRows(
        entries, [&](const QString&) { return listings.at(next++); }, folderListing,
        &gathered.unlisted);
    batch::sortRows(gathered.rows);
    if (gathered.rows.isEmpty() && gathered.unlisted.isEmpty() && gathered.unreadable.isEmpty())
        throw CannotRun{batch::kNoWebFiles};
    return gathered;
}

struct NamedFile {
    QString what; // "report", "rules file", ...
    QString path;
};

// An output that is also an input or another output would destroy it: refused before any work.
void refuseSharedFiles(const QList<NamedFile>& outputs, const QList<NamedFile>& inputs,
                       const QStringList& pages, const std::function<QString(int)>& fileOf) {
    QList<platform::FileIdentity> ids;
    for (const NamedFile& o : outputs)
        ids.append(platform::fileIdentity(o.path));
    const auto clash = [](const NamedFile& o, const NamedFile& other) {
        return CannotRun{QStringLiteral("the %1 %2 is the same file as the %3 %4")
                             .arg(o.what, o.path, other.what, other.path)};
    };
    bool anyExists = false;
    for (qsizetype i = 0; i < outputs.size(); ++i) {
        // Devices and FIFOs are written in place: /dev/null may take every output.
        if (ids.at(i).exists && !QFileInfo(outputs.at(i).path).isFile())
            continue;
        anyExists = anyExists || ids.at(i).exists;
        for (qsizetype j = 0; j < i; ++j)
            if (ids.at(j) == ids.at(i))
                throw clash(outputs.at(i), outputs.at(j));
        for (const NamedFile& in : inputs)
            if (platform::fileIdentity(in.path) == ids.at(i))
                throw clash(outputs.at(i), in);
    }
    if (!anyExists)
        return; // an output that does not exist yet is no page
    for (qsizetype p = 0; p < pages.size(); ++p) {
        const platform::FileIdentity page = platform::fileIdentity(fileOf(int(p)));
        for (qsizetype i = 0; i < outputs.size(); ++i)
            if (ids.at(i).exists && ids.at(i) == page)
                throw clash(outputs.at(i), NamedFile{QStringLiteral("page"), pages.at(p)});
    }
}

void writeOutput(const char* what, const QString& path,
                 const std::function<void(const platform::ByteWriter&)>& produce) {
    try {
        platform::writeFileAtomically(path, produce);
    } catch (const platform::Error& e) {
        throw CannotRun{QStringLiteral("the %1 %2 cannot be written: %3")
                            .arg(QLatin1String(what), path, e.message())};
    }
}

// The report carries its logo: it is kept as a build's artifact or mailed, far from the data
// folder. Without a logo it is still written, without the picture; `err` hears why unless null.
QStringList reportHeadWithOwnLogo(const QString& dataFolder, std::FILE* err) {
    try {
        return engine::reportHeadWithLogo(engine::logoDataUrl(dataFolder));
    } catch (const platform::Error& e) {
        if (err)
            say(err, QStringLiteral("the report shows no logo: %1").arg(e.message()));
        return engine::reportHeadWithLogo(QString());
    }
}

// The web folder's own name, however it was given ("public/", "./public").
QString suiteName(const QString& webFolder) {
    const QString clean = QDir::cleanPath(webFolder);
    const QString name = QFileInfo(clean).fileName();
    return name.isEmpty() ? clean : name;
}

// The options, once: the parser, the help text and what each option sets come from this table.
enum class Opt {
    Folder,
    Exclude,
    Rules,
    Required,
    Init,
    Results,
    Report,
    Junit,
    Json,
    Sarif,
    Format,
    Color,
    Jobs,
    MaxPages,
    MaxDepth,
    Connections,
    UserAgent,
    Header,
    Insecure,
    CaFile,
    Quiet,
    Help,
    Version,
};
struct OptionRow {
    Opt id;
    const char* shortName; // null: none
    const char* longName;
    const char* valueName; // null: a switch
    const char* help;      // lines after the first indented by the table
};
constexpr OptionRow kOptionRows[] = {
    {Opt::Folder, nullptr, "folder", "F",
     "check the pages of folder F of the web (repeatable; \"\" or\n\"Web Root Directory\" is the "
     "root)"},
    {Opt::Exclude, nullptr, "exclude", "GLOB",
     "leave out the pages GLOB matches, or the pages in folders it\nmatches (repeatable; * and ? "
     "within a name, ** any folders)"},
    {Opt::Rules, nullptr, "rules", "FILE",
     "take the rule values from FILE (a registry file, key\n\\Software\\VRNH\\Quillmark) instead "
     "of .quillmark/rules.reg of\nthe web, else the user's registry file"},
    {Opt::Required, nullptr, "required", "FILE",
     "the required tag file instead of .quillmark/metareq.txt of\nthe web, else quillmark's (the "
     "user's Required/metareq.txt,\nelse the delivered one)"},
    {Opt::Init, nullptr, "init", "WEB",
     "write WEB/.quillmark/rules.reg and metareq.txt from the\nrules and required tags in use, "
     "and check nothing"},
    {Opt::Results, nullptr, "results", "FILE", "also write the results file (.rls) of the run"},
    {Opt::Report, nullptr, "report", "FILE", "also write the HTML report of the run"},
    {Opt::Junit, nullptr, "junit", "FILE", "also write a JUnit XML file, one test case per page"},
    {Opt::Json, nullptr, "json", "FILE", "also write the run's pages, facts and findings as JSON"},
    {Opt::Sarif, nullptr, "sarif", "FILE", "also write the findings as a SARIF 2.1.0 log"},
    {Opt::Format, nullptr, "format", "F",
     "standard output: text (default; UTF-8, LF), rls (the results\nfile's bytes), json or sarif "
     "(the bytes of --json, --sarif)"},
    {Opt::Color, nullptr, "color", "WHEN",
     "colour the text output: auto (default: on a terminal, unless\nNO_COLOR is set), always or "
     "never"},
    {Opt::Jobs, "j", "jobs", "N", "pages checked at once (default: the number of processors)"},
    {Opt::MaxPages, nullptr, "max-pages", "N", "a site: list at most N pages (default 10000)"},
    {Opt::MaxDepth, nullptr, "max-depth", "N",
     "a site without a sitemap: follow links at most N deep from\nthe start address (default 100)"},
    {Opt::Connections, nullptr, "connections", "N",
     "a site: at most N connections to it at once (default 4)"},
    {Opt::UserAgent, nullptr, "user-agent", "TEXT",
     "a site: the user agent sent and matched in robots.txt\n(default quillmark/VERSION)"},
    {Opt::Header, nullptr, "header", "LINE",
     "a site: send \"Name: value\" with every request (repeatable;\nfor a staging site's login)"},
    {Opt::Insecure, nullptr, "insecure", nullptr,
     "a site over HTTPS: take any certificate, unchecked"},
    {Opt::CaFile, nullptr, "ca-file", "FILE",
     "a site over HTTPS: trust the certificates in FILE in place of\nthe system's"},
    {Opt::Quiet, "q", "quiet", nullptr, "no panes and no note of the rule sources"},
    {Opt::Help, "h", "help", nullptr, "this text"},
    {Opt::Version, nullptr, "version", nullptr, "the version of quillmark-check"},
};

const OptionRow* rowNamed(QStringView name) {
    for (const OptionRow& row : kOptionRows)
        if (name == QLatin1String(row.longName) ||
            (row.shortName && name == QLatin1String(row.shortName)))
            return &row;
    return nullptr;
}

// "text, rls, json or sarif"
QString formatNames() {
    QStringList names;
    for (const FormatName& f : kFormats)
        names.append(QLatin1String(f.name));
    const QString last = names.takeLast();
    return names.join(QLatin1String(", ")) + QLatin1String(" or ") + last;
}

Format parseFormat(const QString& text) {
    for (const FormatName& f : kFormats)
        if (text == QLatin1String(f.name))
            return f.format;
    throw UsageError{
        QStringLiteral("option '--format' takes %1, not '%2'").arg(formatNames(), text)};
}

ColorWhen parseColor(const QString& text) {
    if (text == QLatin1String("auto"))
        return ColorWhen::Auto;
    if (text == QLatin1String("always"))
        return ColorWhen::Always;
    if (text == QLatin1String("never"))
        return ColorWhen::Never;
    throw UsageError{
        QStringLiteral("option '--color' takes auto, always or never, not '%1'").arg(text)};
}

int parseCount(const char* option, const QString& text, int most) {
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < 1 || n > most)
        throw UsageError{QStringLiteral("option '--%1' needs a number from 1 to %2, not '%3'")
                             .arg(QLatin1String(option), QString::number(most), text)};
    return n;
}

bool oneLine(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    return true;
}

// A header line as sent: a token, a colon, a value without line breaks.
QString parseHeader(const QString& text) {
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    bool token = colon > 0;
    for (qsizetype i = 0; token && i < colon; ++i) {
        const QChar c = text.at(i);
        token = c.unicode() > 0x20 && c.unicode() < 0x7f &&
                !QStringLiteral("()<>@,;:\\\"/[]?={}").contains(c);
    }
    if (!token || !oneLine(text))
        throw UsageError{
            QStringLiteral("option '--header' needs \"Name: value\" on one line, not '%1'")
                .arg(text)};
    return text;
}

int parseJobs(const QString& text) {
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < 1 || n > 1024)
        throw UsageError{
            QStringLiteral("option '--jobs' needs a number from 1 to 1024, not '%1'").arg(text)};
    return n;
}

QString fileName(const OptionRow& row, const QString& value) {
    if (value.isEmpty())
        throw UsageError{
            QStringLiteral("option '--%1' needs a file name").arg(QLatin1String(row.longName))};
    return value;
}

// The parser's own complaint in the words of the other messages: it quotes the argument at
// fault.
UsageError parserError(const QCommandLineParser& parser) {
    if (!parser.unknownOptionNames().isEmpty()) {
        const QString name = parser.unknownOptionNames().first();
        return {QStringLiteral("unknown option '%1%2'")
                    .arg(name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--"), name)};
    }
    const QString text = parser.errorText();
    const qsizetype open = text.indexOf(QLatin1Char('\''));
    const qsizetype close = text.lastIndexOf(QLatin1Char('\''));
    if (open < 0 || close <= open)
        return {text};
    const QString given = text.mid(open + 1, close - open - 1).section(QLatin1Char('='), 0, 0);
    QStringView name(given);
    while (name.startsWith(u'-'))
        name = name.mid(1);
    const OptionRow* row = rowNamed(name);
    if (row && row->valueName)
        return {QStringLiteral("option '%1' needs a value").arg(given)};
    return {QStringLiteral("option '%1' takes no value").arg(given)};
}

bool isTerminal(std::FILE* f) {
    return ::isatty(fileno(f)) == 1;
}

bool wantColor(ColorWhen when, std::FILE* out) {
    switch (when) {
    case ColorWhen::Always:
        return true;
    case ColorWhen::Never:
        return false;
    case ColorWhen::Auto:
        break;
    }
    return qEnvironmentVariableIsEmpty("NO_COLOR") && isTerminal(out);
}

void writeOut(std::FILE* out, const char* bytes, size_t size) {
    if (std::fwrite(bytes, 1, size, out) != size)
        throw CannotRun{QStringLiteral("standard output cannot be written: %1")
                            .arg(QString::fromLocal8Bit(std::strerror(errno)))};
}

// The panes for people: UTF-8 with LF line ends. In colour, the passed pane's pages are green,
// the failed pane's lines red and the keyword pane's warnings yellow; headings and the summary
// keep the terminal's colour.
class TextOutput {
public:
    TextOutput(std::FILE* out, bool utf8Panes, bool color)
        : m_out(out), m_utf8(utf8Panes), m_color(color) {
        m_buffer.reserve(kFlushAt + 4096);
    }

    void take(int pane, batch::RunOutput::Part part, const QByteArray& bytes) {
        const char* p = bytes.constData();
        const char* const end = p + bytes.size();
        while (p < end) {
            const char* nl = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
            if (!nl) {
                m_partial.append(p, end - p);
                break;
            }
            if (m_partial.isEmpty()) {
                line(pane, part, p, nl - p);
            } else {
                m_partial.append(p, nl - p);
                line(pane, part, m_partial.constData(), m_partial.size());
                m_partial.clear();
            }
            p = nl + 1;
        }
    }

    void finish() {
        if (!m_partial.isEmpty())
            line(2, batch::RunOutput::Part::Summary, m_partial.constData(), m_partial.size());
        m_partial.clear();
        flush();
    }

private:
    static constexpr qsizetype kFlushAt = 1 << 16;

    static bool startsWith(const char* b, qsizetype n, const char* prefix, qsizetype size) {
        return n >= size && std::memcmp(b, prefix, size_t(size)) == 0;
    }

    const char* colorOf(int pane, batch::RunOutput::Part part, const char* b, qsizetype n) const {
        if (!m_color || part != batch::RunOutput::Part::Pages || n == 0)
            return nullptr;
        switch (pane) {
        case 0:
            return startsWith(b, n, "File = ", 7) ? "\x1b[32m" : nullptr;
        case 1:
            return "\x1b[31m";
        default:
            return QByteArrayView(b, n).contains("WARNING!") ? "\x1b[33m" : nullptr;
        }
    }

    void line(int pane, batch::RunOutput::Part part, const char* b, qsizetype n) {
        if (n > 0 && b[n - 1] == '\r')
            --n;
        const char* color = colorOf(pane, part, b, n);
        if (color)
            m_buffer.append(color);
        bool ascii = true;
        for (qsizetype i = 0; i < n && ascii; ++i)
            ascii = static_cast<unsigned char>(b[i]) < 0x80;
        if (m_utf8 || ascii)
            m_buffer.append(b, n);
        else
            m_buffer.append(platform::decodeWindows1252(QByteArray(b, n)).toUtf8());
        if (color)
            m_buffer.append("\x1b[0m");
        m_buffer.append('\n');
        if (m_buffer.size() >= kFlushAt)
            flush();
    }

    void flush() {
        writeOut(m_out, m_buffer.constData(), size_t(m_buffer.size()));
        m_buffer.clear();
    }

    std::FILE* const m_out;
    const bool m_utf8;
    const bool m_color;
    QByteArray m_buffer;
    QByteArray m_partial;
};

// A name at the web's root, whatever it is: a file there that cannot be read is an error, not
// an absent one.
bool presentAt(const QString& path) {
    struct stat st;
    // A folder on the way that may not be searched hides the file: it is there, unreadable.
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ||
           (errno != ENOENT && errno != ENOTDIR);
}

QString sourceText(const QString& kind, const QString& path, const QString& webFile,
                   const char* fallback) {
    if (kind == kFromWeb)
        return webFile;
    if (kind == kFromOption)
        return path;
    return QStringLiteral("%1 (%2)").arg(QLatin1String(fallback), path);
}

// The globs of --exclude and of the web's ignore file, split into their names once.
struct Glob {
    QString text;
    QStringList parts;
    bool folderOnly = false;
};

Glob compileGlob(const QString& text) {
    Glob g;
    g.text = text;
    QString t = text.trimmed();
    t.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (t.startsWith(QLatin1String("./")))
        t.remove(0, 2);
    while (t.startsWith(QLatin1Char('/')))
        t.remove(0, 1);
    g.folderOnly = t.endsWith(QLatin1Char('/'));
    g.parts = t.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    return g;
}

// '*' and '?' within one name.
bool nameMatches(QStringView name, QStringView pattern) {
    qsizetype n = 0;
    qsizetype p = 0;
    qsizetype starP = -1;
    qsizetype starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == name[n])) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

bool partsMatch(const QList<QStringView>& names, qsizetype n, const QStringList& parts,
                qsizetype p) {
    if (p == parts.size())
        return n == names.size();
    if (parts.at(p) == QLatin1String("**")) {
        for (qsizetype k = n; k <= names.size(); ++k)
            if (partsMatch(names, k, parts, p + 1))
                return true;
        return false;
    }
    return n < names.size() && nameMatches(names.at(n), parts.at(p)) &&
           partsMatch(names, n + 1, parts, p + 1);
}

bool globExcludes(const QString& address, const Glob& glob) {
    if (glob.parts.isEmpty())
        return false;
    QList<QStringView> names;
    for (QStringView name : QStringView(address).split(u'/', Qt::SkipEmptyParts))
        names.append(name);
    // The page itself, then each folder it lies in.
    for (qsizetype upTo = names.size(); upTo > 0; --upTo) {
        if (upTo == names.size() && glob.folderOnly)
            continue;
        if (partsMatch(names.mid(0, upTo), 0, glob.parts, 0))
            return true;
    }
    return false;
}

bool inConfigFolder(const QString& address) {
    return address.startsWith(kWebConfigFolder + QLatin1Char('/'));
}

// The glob that leaves the page out, or null.
const Glob* excludingGlob(const QString& address, const QList<Glob>& globs) {
    for (const Glob& g : globs)
        if (globExcludes(address, g))
            return &g;
    return nullptr;
}

QStringList ignoreFileGlobs(const QString& path) {
    QStringList globs;
    try {
        for (const QString& line : platform::readLines(path)) {
            const QString t = line.trimmed();
            if (!t.isEmpty() && !t.startsWith(QLatin1Char('#')))
                globs.append(t);
        }
    } catch (const platform::Error& e) {
        throw CannotRun{QStringLiteral("the ignore file cannot be read: %1").arg(e.message())};
    }
    return globs;
}

webhost::LocalWeb openWeb(const QString& folder) {
    try {
        return webhost::LocalWeb::onFolder(folder);
    } catch (const platform::Error& e) {
        throw CannotRun{e.message()};
    }
}

// The rule values and the required tag list in use, as files of the web's own folder.
int initWeb(const Options& o, const platform::Folders& folders, std::FILE* err) {
    const webhost::LocalWeb web = openWeb(o.initWeb);
    // The sources the run would take were the web's files not there.
    const RuleSources sources = chooseRuleSources(o, QString(), folders);
    const engine::RuleValues values = readRules(sources);
    QByteArray required;
    try {
        required = platform::readFileBytes(sources.requiredPath);
    } catch (const platform::Error& e) {
        throw CannotRun{
            QStringLiteral("the required tag file cannot be read: %1").arg(e.message())};
    }
    const QString root = web.webFolder() + QLatin1Char('/');
    const QString rulesPath = root + kWebRulesFile;
    const QString requiredPath = root + kWebRequiredFile;
    for (const QString& path : {rulesPath, requiredPath})
        if (presentAt(path))
            throw CannotRun{QStringLiteral("%1 exists already; it is not overwritten").arg(path)};
    const QString folder = root + kWebConfigFolder;
    if (!QFileInfo(folder).isDir() && !QDir().mkdir(folder))
        throw CannotRun{QStringLiteral("the folder %1 cannot be made: %2")
                            .arg(folder, QString::fromLocal8Bit(std::strerror(errno)))};

    platform::RegistryStore::Section section;
    section.header = QStringLiteral("[HKEY_LOCAL_MACHINE%1]").arg(rules::kSettingsKey);
    section.key = platform::RegistryStore::normaliseKey(rules::kSettingsKey);
    section.local = true;
    for (const rulevalues::Rule& rule : rulevalues::kRules) {
        platform::RegistryStore::Entry e;
        e.isValue = true;
        e.name = rulevalues::valueName(rule);
        e.value = values.*rule.member;
        section.entries.append(e);
    }
    platform::RegistryStore::Document doc;
    doc.sections.append(section);
    const auto write = [](const QString& path, const QByteArray& bytes) {
        try {
            platform::writeFileAtomically(path, bytes);
        } catch (const platform::Error& e) {
            throw CannotRun{QStringLiteral("%1 cannot be written: %2").arg(path, e.message())};
        }
    };
    write(rulesPath, platform::RegistryStore::serialize(doc));
    write(requiredPath, required);
    if (!o.quiet)
        say(err, QStringLiteral("wrote %1 and %2").arg(rulesPath, requiredPath));
    return kAllPassed;
}

// The pages of a site: its listing (or the named pages only), by folder through the gathering
// rules of a web, each with its copy or the reason it cannot be checked.
struct SitePages {
    QStringList pages;
    QStringList failures;
};

SitePages sitePages(webhost::SiteWeb& site, const Options& o, const QList<Glob>& globs,
                    std::FILE* err) {
    const bool showProgress = isTerminal(err) && !o.quiet;
    site.setProgress([&](int fetched, int known) {
        if (showProgress)
            std::fprintf(err, "\rquillmark-check: %d pages fetched, %d addresses known", fetched,
                         known);
        return true;
    });
    QStringList named;
    for (const QString& p : o.pages) {
        const QString address = site.addressOf(p);
        if (address.isEmpty())
            throw CannotRun{
                QStringLiteral("the page %1 is not within the site %2").arg(p, site.rootUrl())};
        const Glob* by = excludingGlob(address, globs);
        if (by) {
            if (!o.quiet)
                say(err, QStringLiteral("%1 is not checked: --exclude leaves it out (%2)")
                             .arg(p, by->text));
            continue;
        }
        named.append(address);
    }
    if (!o.pages.isEmpty() && named.isEmpty())
        return {}; // every page named is left out
    const webhost::SiteListing* listing = nullptr;
    try {
        listing = named.isEmpty() ? &site.list() : &site.listPages(named);
    } catch (const platform::Error& e) {
        if (showProgress)
            std::fputc('\n', err);
        throw CannotRun{e.message()};
    }
    if (showProgress)
        std::fputc('\n', err);
    if (!o.quiet)
        for (const QString& note : listing->notes)
            say(err, note);

    QHash<QString, QString> failureOf;
    std::map<QString, webhost::PageListing> byFolder;
    QStringList entries;
    for (const webhost::SitePage& p : listing->pages) {
        failureOf.insert(p.address, p.failure);
        webhost::PageListing& l = byFolder[p.folder];
        l.allPages = true;
        l.pages.append(p.address);
    }
    if (!named.isEmpty() || o.folders.isEmpty()) {
        for (const auto& [folder, l] : byFolder)
            entries.append(folder.isEmpty() ? batch::kWebRootEntry : batch::folderEntry(folder));
    } else {
        for (const QString& f : o.folders)
            entries.append(f.isEmpty() || f == batch::kWebRootEntry ? batch::kWebRootEntry
                                                                    : batch::folderEntry(f));
    }
    QStringList folderListing;
    SitePages out;
    out.pages = batch::gatherRows(
        entries,
        [&](const QString& folder) {
            const auto it = byFolder.find(folder);
            return it == byFolder.end() ? webhost::PageListing{} : it->second;
        },
        folderListing);
    batch::sortRows(out.pages);
    out.pages.removeIf([&](const QString& address) { return excludingGlob(address, globs); });
    if (out.pages.isEmpty())
        throw CannotRun{named.isEmpty() && o.folders.isEmpty()
                            ? QStringLiteral("the site %1 has no page to check").arg(site.rootUrl())
                            : batch::kNoWebFiles};
    for (const QString& address : std::as_const(out.pages))
        out.failures.append(failureOf.value(address));
    return out;
}

// The name of a run's suite in JUnit: the web folder's own name, or the site's host.
QString siteSuiteName(const QString& rootUrl) {
    const QUrl url(rootUrl);
    return url.host() +
           (url.port() > 0 ? QLatin1Char(':') + QString::number(url.port()) : QString());
}

} // namespace

const QString kWebConfigFolder = QStringLiteral(".quillmark");
const QString kWebRulesFile = QStringLiteral(".quillmark/rules.reg");
const QString kWebRequiredFile = QStringLiteral(".quillmark/metareq.txt");
const QString kWebIgnoreFile = QStringLiteral(".quillmark/ignore");

QByteArray usage() {
    QByteArray text = "Usage: quillmark-check [options] WEB_FOLDER [PAGE ...]\n"
                      "       quillmark-check [options] https://SITE/ [PAGE ...]\n"
                      "       quillmark-check --init WEB\n"
                      "Checks the title and meta tags of the pages of a web against its rule "
                      "base.\n\n";
    constexpr int kHelpColumn = 20;
    for (const OptionRow& row : kOptionRows) {
        QByteArray names =
            row.shortName ? QByteArray("  -") + row.shortName + ", --" : QByteArray("      --");
        names += row.longName;
        if (row.valueName)
            names += QByteArray(" ") + row.valueName;
        names += names.size() + 1 < kHelpColumn ? QByteArray(kHelpColumn - names.size(), ' ')
                                                : QByteArray("\n") + QByteArray(kHelpColumn, ' ');
        names += QByteArray(row.help).replace("\n", "\n" + QByteArray(kHelpColumn, ' '));
        text += names + '\n';
    }
    text += "\n"
            "Pages are the named page addresses (relative to WEB_FOLDER, or paths of files\n"
            "in it); else the pages of the --folder folders; else every page of the web; less\n"
            "those that --exclude or WEB_FOLDER/.quillmark/ignore leave out. Standard output\n"
            "holds the passed, the failed and the keyword pane.\n"
            "A site's pages come from its sitemap, else from its links within the start\n"
            "address's folder; robots.txt is obeyed and nothing on the site is changed. PAGE\n"
            "is then an address relative to the site or a URL within it.\n"
            "Exit status: 0 every page passed, 1 a page failed, 2 the check could not be made.\n";
    return text;
}

Options parseArguments(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    for (const OptionRow& row : kOptionRows) {
        QStringList names;
        if (row.shortName)
            names.append(QLatin1String(row.shortName));
        names.append(QLatin1String(row.longName));
        QCommandLineOption option(names);
        if (row.valueName)
            option.setValueName(QLatin1String(row.valueName));
        parser.addOption(option);
    }
    if (!parser.parse(QStringList{QStringLiteral("quillmark-check")} + arguments))
        throw parserError(parser);

    Options o;
    for (const OptionRow& row : kOptionRows) {
        const QString name = QLatin1String(row.longName);
        if (!parser.isSet(name))
            continue;
        const QString value = row.valueName ? parser.value(name) : QString();
        if (row.id >= Opt::MaxPages && row.id <= Opt::CaFile)
            o.siteOptionsGiven.append(QStringLiteral("--") + name);
        switch (row.id) {
        case Opt::Folder:
            o.folders = parser.values(name);
            break;
        case Opt::Exclude:
            o.excludes = parser.values(name);
            for (const QString& g : std::as_const(o.excludes))
                if (g.trimmed().isEmpty())
                    throw UsageError{QStringLiteral("option '--exclude' needs a pattern")};
            break;
        case Opt::Rules:
            o.rulesFile = fileName(row, value);
            break;
        case Opt::Required:
            o.requiredFile = fileName(row, value);
            break;
        case Opt::Init:
            o.initWeb = fileName(row, value);
            break;
        case Opt::Results:
            o.resultsFile = fileName(row, value);
            break;
        case Opt::Report:
            o.reportFile = fileName(row, value);
            break;
        case Opt::Junit:
            o.junitFile = fileName(row, value);
            break;
        case Opt::Json:
            o.jsonFile = fileName(row, value);
            break;
        case Opt::Sarif:
            o.sarifFile = fileName(row, value);
            break;
        case Opt::Format:
            o.format = parseFormat(value);
            break;
        case Opt::Color:
            o.color = parseColor(value);
            break;
        case Opt::Jobs:
            o.jobs = parseJobs(value);
            break;
        case Opt::MaxPages:
            o.site.maxPages = parseCount(row.longName, value, 10000000);
            break;
        case Opt::MaxDepth:
            o.site.maxDepth = parseCount(row.longName, value, 100000);
            break;
        case Opt::Connections:
            o.site.connections = parseCount(row.longName, value, 64);
            break;
        case Opt::UserAgent:
            if (value.trimmed().isEmpty() || !oneLine(value))
                throw UsageError{QStringLiteral("option '--user-agent' needs a text on one line")};
            o.site.userAgent = value;
            break;
        case Opt::Header:
            for (const QString& h : parser.values(name))
                o.site.headers.append(parseHeader(h));
            break;
        case Opt::Insecure:
            o.site.insecure = true;
            break;
        case Opt::CaFile:
            o.site.caFile = fileName(row, value);
            break;
        case Opt::Quiet:
            o.quiet = true;
            break;
        case Opt::Help:
            o.help = true;
            break;
        case Opt::Version:
            o.version = true;
            break;
        }
    }
    if (o.help || o.version)
        return o;
    QStringList positional = parser.positionalArguments();
    if (!o.initWeb.isEmpty()) {
        if (!positional.isEmpty())
            throw UsageError{QStringLiteral("--init takes no web folder or page besides its own, "
                                            "not '%1'")
                                 .arg(positional.first())};
        return o;
    }
    if (positional.isEmpty())
        throw UsageError{QStringLiteral("no web folder given")};
    o.web = positional.takeFirst();
    o.pages = positional;
    if (!isSiteAddress(o.web) && !o.siteOptionsGiven.isEmpty())
        throw UsageError{
            QStringLiteral("option '%1' is for a site's address, not the web folder '%2'")
                .arg(o.siteOptionsGiven.first(), o.web)};
    return o;
}

bool isSiteAddress(const QString& web) {
    return web.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
           web.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

RuleSources chooseRuleSources(const Options& o, const QString& webFolder,
                              const platform::Folders& folders) {
    RuleSources s;
    const QString root = webFolder.isEmpty() ? QString() : webFolder + QLatin1Char('/');
    if (!o.rulesFile.isEmpty()) {
        s.rulesKind = kFromOption;
        s.rulesPath = o.rulesFile;
    } else if (!root.isEmpty() && presentAt(root + kWebRulesFile)) {
        s.rulesKind = kFromWeb;
        s.rulesPath = root + kWebRulesFile;
    } else {
        s.rulesKind = kFromSettings;
        s.rulesPath = platform::RegistryStore::defaultPath();
    }
    if (!o.requiredFile.isEmpty()) {
        s.requiredKind = kFromOption;
        s.requiredPath = o.requiredFile;
    } else if (!root.isEmpty() && presentAt(root + kWebRequiredFile)) {
        s.requiredKind = kFromWeb;
        s.requiredPath = root + kWebRequiredFile;
    } else {
        s.requiredKind = kFromProgram;
        s.requiredPath = rules::requiredTagFileToRead(folders);
    }
    return s;
}

bool excludedBy(const QString& address, const QString& glob) {
    return globExcludes(address, compileGlob(glob));
}

int run(const Options& o, const platform::Folders& folders, std::FILE* out, std::FILE* err) {
    try {
        if (!o.initWeb.isEmpty())
            return initWeb(o, folders, err);
        const bool isSite = isSiteAddress(o.web);
        std::optional<webhost::LocalWeb> localWeb;
        std::unique_ptr<webhost::SiteWeb> site;
        std::optional<QTemporaryDir> copies;
        if (isSite) {
            copies.emplace(
                QDir(QDir::tempPath()).filePath(QStringLiteral("quillmark-check-XXXXXX")));
            if (!copies->isValid())
                throw CannotRun{QStringLiteral("no temporary folder for the site's pages: %1")
                                    .arg(copies->errorString())};
            webhost::SiteOptions so;
            so.address = o.web;
            so.limits.maxPages = o.site.maxPages;
            so.limits.maxDepth = o.site.maxDepth;
            so.limits.connections = o.site.connections;
            so.userAgent = o.site.userAgent;
            so.headers = o.site.headers;
            so.insecure = o.site.insecure;
            so.caFile = o.site.caFile;
            try {
                site = std::make_unique<webhost::SiteWeb>(
                    so, copies->filePath(QStringLiteral("pages")));
            } catch (const platform::Error& e) {
                throw CannotRun{e.message()};
            }
        } else {
            localWeb.emplace(openWeb(o.web));
        }
        // The folder's path, or the site's root URL.
        const QString webName = site ? site->rootUrl() : localWeb->webFolder();
        const QString root = site ? QString() : webName + QLatin1Char('/');
        const int jobs = o.jobs > 0 ? o.jobs : std::max(1, QThread::idealThreadCount());
        const RuleSources sources = chooseRuleSources(o, site ? QString() : webName, folders);
        const engine::RuleValues values = readRules(sources);
        engine::RuleTable grid;
        grid.setNames(requiredNames(sources.requiredPath, values));
        QList<Glob> globs;
        for (const QString& g : o.excludes)
            globs.append(compileGlob(g));
        const QString ignoreFile = site ? QString() : root + kWebIgnoreFile;
        const bool hasIgnoreFile = !site && presentAt(ignoreFile);
        if (hasIgnoreFile)
            for (const QString& g : ignoreFileGlobs(ignoreFile))
                globs.append(compileGlob(g));
        if (!o.quiet)
            say(err, QStringLiteral("rules from %1, required tags from %2")
                         .arg(sourceText(sources.rulesKind, sources.rulesPath, kWebRulesFile,
                                         "the user's settings"),
                              sourceText(sources.requiredKind, sources.requiredPath,
                                         kWebRequiredFile, "the program's list")));

        QStringList pages;
        QStringList namedFiles;
        QStringList failures; // a site's pages that cannot be checked, and why
        Gathered gathered;
        if (site) {
            SitePages got = sitePages(*site, o, globs, err);
            if (got.pages.isEmpty())
                return kAllPassed; // every page named is left out: nothing to check
            pages = std::move(got.pages);
            failures = std::move(got.failures);
        } else if (!o.pages.isEmpty()) {
            const webhost::LocalWeb& web = *localWeb;
            for (const QString& p : o.pages) {
                const QString address = pageAddress(web, p);
                const Glob* by = excludingGlob(address, globs);
                if (by || inConfigFolder(address)) {
                    if (!o.quiet)
                        say(err, by ? QStringLiteral("%1 is not checked: --exclude or the ignore "
                                                     "file leaves it out (%2)")
                                          .arg(p, by->text)
                                    : QStringLiteral("%1 is not checked: it is in the web's "
                                                     "%2 folder")
                                          .arg(p, kWebConfigFolder));
                    continue;
                }
                pages.append(address);
                namedFiles.append(web.pathOf(address));
            }
            if (pages.isEmpty())
                return kAllPassed; // every page named is left out: nothing to check
        } else {
            // The listings hold only files inside the web.
            gathered = gatherPages(*localWeb, o.folders, jobs);
            pages = std::move(gathered.rows);
            pages.removeIf([&](const QString& address) {
                return inConfigFolder(address) || excludingGlob(address, globs);
            });
            gathered.unlisted.removeIf([&](const webhost::UnlistedName& u) {
                const QString shown =
                    u.folder.isEmpty() ? u.name : u.folder + QLatin1Char('/') + u.name;
                return inConfigFolder(shown) || excludingGlob(shown, globs);
            });
            if (pages.isEmpty() && gathered.unlisted.isEmpty() && gathered.unreadable.isEmpty())
                throw CannotRun{batch::kNoWebFiles};
        }
        // Called by the run's threads: the path is made without copying the shared root.
        const std::function<QString(int)> fileOf = [&](int i) {
            if (!namedFiles.isEmpty())
                return namedFiles.at(i);
            QString path;
            path.reserve(root.size() + pages.at(i).size());
            path += root;
            path += pages.at(i);
            return path;
        };
        {
            QList<NamedFile> outputs;
            if (!o.resultsFile.isEmpty())
                outputs.append({QStringLiteral("results file"), o.resultsFile});
            if (!o.reportFile.isEmpty())
                outputs.append({QStringLiteral("report"), o.reportFile});
            if (!o.junitFile.isEmpty())
                outputs.append({QStringLiteral("JUnit file"), o.junitFile});
            if (!o.jsonFile.isEmpty())
                outputs.append({QStringLiteral("JSON file"), o.jsonFile});
            if (!o.sarifFile.isEmpty())
                outputs.append({QStringLiteral("SARIF file"), o.sarifFile});
            QList<NamedFile> inputs{{QStringLiteral("rules file"), sources.rulesPath},
                                    {QStringLiteral("required tag file"), sources.requiredPath}};
            if (hasIgnoreFile)
                inputs.append({QStringLiteral("ignore file"), ignoreFile});
            // A site's pages are copies of the run's own.
            refuseSharedFiles(outputs, inputs, site ? QStringList() : pages, fileOf);
        }
        for (const QString& m : std::as_const(gathered.unreadable))
            say(err, m);
        for (const webhost::UnlistedName& u : std::as_const(gathered.unlisted))
            say(err, batch::unlistedMessage(u));
        if (pages.isEmpty() && gathered.unlisted.isEmpty())
            return kCannotRun; // nothing could be listed, and the reasons are said
        const bool single = !o.pages.isEmpty() && pages.size() == 1;
        const int checked = int(pages.size());

        const bool showProgress = checked > 1 && isTerminal(err);
        batch::RunOutput::Wanted wanted{!o.reportFile.isEmpty(), !o.junitFile.isEmpty(),
                                        site ? siteSuiteName(webName) : suiteName(webName)};
        wanted.junitTimes = true;
        wanted.json = !o.jsonFile.isEmpty() || (o.format == Format::Json && !o.quiet);
        wanted.sarif = !o.sarifFile.isEmpty() || (o.format == Format::Sarif && !o.quiet);
        batch::RunOutput output(wanted);
        batch::BatchRun checks(pages, values, grid, !single);
        // A site's pages are read from its listing's copies.
        const std::function<QByteArray(int)> bytesOf =
            site ? std::function<QByteArray(int)>(
                       [&](int i) { return site->copyBytes(pages.at(i)); })
                 : std::function<QByteArray(int)>();
        const std::function<QString(int)> failureOf = failures.isEmpty()
                                                          ? std::function<QString(int)>()
                                                          : [&](int i) { return failures.at(i); };
        const std::optional<QString> fatal = checks.runOnJobs(
            fileOf, jobs, output,
            [&](int done) {
                if (showProgress)
                    std::fprintf(err, "\rquillmark-check: %d of %d pages checked", done, checked);
            },
            failureOf, bytesOf);
        if (showProgress)
            std::fprintf(err, "\rquillmark-check: %d of %d pages checked\n", checked, checked);
        output.readMessages([&](const QString& m) { say(err, m); });
        if (fatal)
            throw CannotRun{*fatal};
        bool unreadable = !gathered.unreadable.isEmpty();
        for (const webhost::UnlistedName& u : std::as_const(gathered.unlisted)) {
            if (u.isFolder)
                unreadable = true;
            else
                output.addUnlistedPage(u);
        }
        unreadable = unreadable || output.anyUnreadable();
        output.finish(!single);

        if (!o.resultsFile.isEmpty())
            writeOutput("results file", o.resultsFile,
                        [&](const platform::ByteWriter& write) { output.writeResults(write); });
        if (!o.reportFile.isEmpty()) {
            const QStringList head = reportHeadWithOwnLogo(folders.data, o.quiet ? nullptr : err);
            writeOutput("report", o.reportFile, [&](const platform::ByteWriter& write) {
                output.writeReport(head, values.bodychk, write);
            });
        }
        if (!o.junitFile.isEmpty())
            writeOutput("JUnit file", o.junitFile,
                        [&](const platform::ByteWriter& write) { output.writeJUnit(write); });
        const auto writeJson = [&](const platform::ByteWriter& write) {
            output.writeJson(jsonOpening(sources, values, grid.names(), webName), write);
        };
        const auto writeSarif = [&](const platform::ByteWriter& write) {
            output.writeSarif(sarifOpening(sources, webName), !unreadable, write);
        };
        if (!o.jsonFile.isEmpty())
            writeOutput("JSON file", o.jsonFile, writeJson);
        if (!o.sarifFile.isEmpty())
            writeOutput("SARIF file", o.sarifFile, writeSarif);
        if (!o.quiet) {
            const platform::ByteWriter toOut = [&](const QByteArray& bytes) {
                writeOut(out, bytes.constData(), size_t(bytes.size()));
            };
            switch (o.format) {
            case Format::Text: {
                TextOutput text(out, output.isUtf8(), wantColor(o.color, out));
                output.readPanes([&](int pane, batch::RunOutput::Part part,
                                     const QByteArray& bytes) { text.take(pane, part, bytes); });
                text.finish();
                break;
            }
            case Format::Rls:
                output.writeResults(toOut);
                break;
            case Format::Json:
                writeJson(toOut);
                break;
            case Format::Sarif:
                writeSarif(toOut);
                break;
            }
            if (std::fflush(out) != 0)
                throw CannotRun{QStringLiteral("standard output cannot be written: %1")
                                    .arg(QString::fromLocal8Bit(std::strerror(errno)))};
        }
        if (unreadable)
            return kCannotRun;
        return output.failedPages() > 0 ? kSomeFailed : kAllPassed;
    } catch (const CannotRun& e) {
        say(err, e.message);
        return kCannotRun;
    } catch (const platform::Error& e) {
        say(err, e.message()); // the run's temporary files
        return kCannotRun;
    }
}

int main(const QStringList& arguments, const platform::Folders& folders, std::FILE* out,
         std::FILE* err) {
    Options o;
    try {
        o = parseArguments(arguments);
    } catch (const UsageError& e) {
        say(err, e.message);
        std::fputs("Try 'quillmark-check --help'.\n", err);
        return kCannotRun;
    }
    if (o.help || o.version) {
        const QByteArray text =
            o.help ? usage()
                   : QByteArrayLiteral("quillmark-check ") + platform::programVersion() + '\n';
        if (std::fputs(text.constData(), out) < 0 || std::fflush(out) != 0) {
            say(err, QStringLiteral("standard output cannot be written: %1")
                         .arg(QString::fromLocal8Bit(std::strerror(errno))));
            return kCannotRun;
        }
        return kAllPassed;
    }
    return run(o, folders, out, err);
}

} // namespace checkcli
