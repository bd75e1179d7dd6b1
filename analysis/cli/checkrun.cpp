#include "checkrun.h"

#include "analysis/batch/gathering.h"
#include "analysis/engine/checks.h"
#include "analysis/engine/pagecheck.h"
#include "analysis/engine/report.h"
#include "analysis/results/resultsfile.h"
#include "analysis/rules/rulestore.h"
#include "platform/filenames.h"
#include "platform/registrystore.h"
#include "platform/textcodec.h"
#include "platform/textfile.h"
#include "webhost/localweb.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>
#include <QXmlStreamWriter>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace checkcli {

const char* const kUsage =
    "Usage: quillmark-check [options] WEB_FOLDER [PAGE ...]\n"
    "Checks the title and meta tags of the pages of a web against its rule base.\n"
    "\n"
    "  --folder F     check the pages of folder F of the web (repeatable; \"\" or\n"
    "                 \"Web Root Directory\" is the root)\n"
    "  --rules FILE   take the rule values from FILE (a registry file, key\n"
    "                 \\Software\\VRNH\\Quillmark) instead of the user's registry file\n"
    "  --required FILE  the required tag file instead of Required/metareq.txt\n"
    "                 of the program folder\n"
    "  --results FILE also write the results file (.rls) of the run\n"
    "  --report FILE  also write the HTML report of the run\n"
    "  --junit FILE   also write a JUnit XML file, one test case per page\n"
    "  --jobs N       pages checked at once (default: the number of processors)\n"
    "  --quiet        no panes on standard output\n"
    "  --help         this text\n"
    "\n"
    "Pages are the named page addresses (relative to WEB_FOLDER, or paths of files in it); else "
    "the\n"
    "pages of the --folder folders; else every page of the web. Standard output holds the passed,\n"
    "the failed and the keyword pane, as a results file holds them.\n"
    "Exit status: 0 every page passed, 1 a page failed, 2 the check could not be made.\n";

namespace {

struct UsageError {
    QString message;
};

// A condition that ends the command with status 2.
struct CannotRun {
    QString message;
};

QString oneLine(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return text.trimmed();
}

void say(std::FILE* err, const QString& text) {
    std::fprintf(err, "quillmark-check: %s\n", oneLine(text).toLocal8Bit().constData());
}

engine::RuleValues readRules(const QString& rulesFile) {
    engine::RuleValues values = rules::startingRuleValues();
    const QString path = rulesFile.isEmpty() ? platform::RegistryStore::defaultPath() : rulesFile;
    platform::RegistryStore reg(path);
    if (reg.openKeyReadOnly(rules::kSettingsKey)) {
        rules::readRuleValues(reg, values);
    } else if (reg.cannotRead()) {
        // Checking against rules other than the user's would report false results.
        const QString what = rulesFile.isEmpty() ? QStringLiteral("the registry file")
                                                 : QStringLiteral("the rules file");
        throw CannotRun{QStringLiteral("%1 cannot be read: %2").arg(what, reg.lastError())};
    } else if (!rulesFile.isEmpty()) {
        if (!QFileInfo(rulesFile).isFile())
            throw CannotRun{QStringLiteral("the rules file %1 cannot be read").arg(rulesFile)};
        throw CannotRun{QStringLiteral("the rules file %1 holds no key %2")
                            .arg(rulesFile, rules::kSettingsKey)};
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
    QStringList m_folderListing;
    size_t next = 0;
    gathered.rows = batch::gatherRows(
        entries, [&](const QString&) { return listings.at(next++); }, m_folderListing,
        &gathered.unlisted);
    batch::sortRows(gathered.rows);
    if (gathered.rows.isEmpty() && gathered.unlisted.isEmpty() && gathered.unreadable.isEmpty())
        throw CannotRun{QStringLiteral("The are no Web Files in the selected directory")};
    return gathered;
}

// A copy that shares no string data: threads that copy shared strings fight over their reference
// counts.
QString own(const QString& s) {
    return QString(s.constData(), s.size());
}

engine::RuleValues ownValues(const engine::RuleValues& v) {
    engine::RuleValues copy;
    for (const rulevalues::Rule& rule : rulevalues::kRules)
        copy.*rule.member = own(v.*rule.member);
    return copy;
}

engine::RuleTable ownTable(const engine::RuleTable& grid) {
    QStringList names;
    for (const QString& name : grid.names())
        names.append(own(name));
    engine::RuleTable copy;
    copy.setNames(names);
    return copy;
}

struct PageResult {
    engine::PaneOutput out;
    // The panes' lines as a results file holds them, when they all fit Windows-1252: the whole
    // file is then these bytes one after the other.
    QByteArray bytes[3];
    bool fits = false;
    bool failed = false;
    bool unreadable = false;
    QStringList messages;
    bool fatal = false;
    QString fatalMessage;
};

void encodePanes(PageResult& r) {
    const QStringList* panes[3] = {&r.out.passed, &r.out.failed, &r.out.keyword};
    r.fits = true;
    for (int p = 0; p < 3 && r.fits; ++p) {
        const QString text = platform::joinLines(*panes[p]);
        r.fits = platform::fitsWindows1252(text);
        if (r.fits)
            r.bytes[p] = platform::encodeWindows1252(text);
    }
    if (!r.fits)
        for (QByteArray& b : r.bytes)
            b.clear();
}

// Pages are claimed in order; every page below one that ends the run is still finished, so the
// first fatal page is the same for any number of jobs.
class Run {
public:
    Run(const QStringList& pages, const QStringList& files, const engine::RuleValues& rules,
        const engine::RuleTable& grid, bool batch)
        : m_pages(pages), m_files(files), m_rules(rules), m_grid(grid), m_options{batch},
          m_results(size_t(pages.size())) {}

    void execute(int jobs, const std::function<void(int done)>& progress) {
        const int n = int(m_pages.size());
        jobs = std::max(1, std::min(jobs, n));
        std::vector<std::thread> workers;
        workers.reserve(size_t(jobs));
        for (int j = 0; j < jobs; ++j)
            workers.emplace_back([this] { work(); });
        {
            std::unique_lock lock(m_mutex);
            while (m_finishedWorkers < jobs) {
                m_changed.wait_for(lock, std::chrono::milliseconds(100));
                if (m_finishedWorkers < jobs)
                    progress(m_done.load());
            }
        }
        for (std::thread& t : workers)
            t.join();
    }

    const std::vector<PageResult>& results() const { return m_results; }
    void append(PageResult r) { m_results.push_back(std::move(r)); }

private:
    void work() {
        engine::PageState st;
        engine::RuleTable grid = ownTable(m_grid);
        const engine::RuleValues rules = ownValues(m_rules);
        for (;;) {
            if (m_stop.load())
                break;
            const int i = m_next.fetch_add(1);
            if (i >= int(m_pages.size()))
                break;
            PageResult& r = m_results[size_t(i)];
            const QString& address = m_pages.at(i);
            try {
                engine::PageHooks hooks;
                hooks.onError = [&](const QString& message, bool cannotOpen) {
                    r.unreadable = r.unreadable || cannotOpen;
                    r.messages.append(address + QStringLiteral(": ") + message);
                };
                r.failed = engine::checkPage(st, grid, rules, address, m_files.at(i), r.out,
                                             m_options, hooks);
                encodePanes(r);
            } catch (const platform::EConvertError& e) {
                // A rule value, not this page, ends the run.
                r.fatal = true;
                r.fatalMessage = e.message();
                m_stop.store(true);
            } catch (const platform::Error& e) {
                r.fatal = true;
                r.fatalMessage = address + QStringLiteral(": ") + e.message();
                m_stop.store(true);
            }
            m_done.fetch_add(1);
        }
        std::lock_guard lock(m_mutex);
        ++m_finishedWorkers;
        m_changed.notify_all();
    }

    const QStringList& m_pages;
    const QStringList& m_files;
    const engine::RuleValues& m_rules;
    const engine::RuleTable& m_grid;
    const engine::CheckOptions m_options;
    std::vector<PageResult> m_results;
    std::atomic<int> m_next{0};
    std::atomic<int> m_done{0};
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_finishedWorkers = 0;
};

// A page's failure entry: its lines of the failed pane without the empty lines around them.
QString failureEntry(const QStringList& failedLines) {
    qsizetype b = 0;
    qsizetype e = failedLines.size();
    while (b < e && failedLines.at(b).isEmpty())
        ++b;
    while (e > b && failedLines.at(e - 1).isEmpty())
        --e;
    return failedLines.mid(b, e - b).join(QLatin1Char('\n'));
}

QByteArray junitXml(const QString& suite, const QStringList& pages,
                    const std::vector<PageResult>& results, int failedPages) {
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("testsuites"));
    xml.writeAttribute(QStringLiteral("name"), QStringLiteral("quillmark-check"));
    xml.writeAttribute(QStringLiteral("tests"), QString::number(pages.size()));
    xml.writeAttribute(QStringLiteral("failures"), QString::number(failedPages));
    xml.writeStartElement(QStringLiteral("testsuite"));
    xml.writeAttribute(QStringLiteral("name"), suite);
    xml.writeAttribute(QStringLiteral("tests"), QString::number(pages.size()));
    xml.writeAttribute(QStringLiteral("failures"), QString::number(failedPages));
    int errors = 0;
    for (const PageResult& r : results)
        errors += r.unreadable && !r.failed ? 1 : 0;
    xml.writeAttribute(QStringLiteral("errors"), QString::number(errors));
    for (qsizetype i = 0; i < pages.size(); ++i) {
        const PageResult& r = results[size_t(i)];
        const QString& address = pages.at(i);
        const qsizetype slash = address.lastIndexOf(QLatin1Char('/'));
        xml.writeStartElement(QStringLiteral("testcase"));
        xml.writeAttribute(QStringLiteral("classname"),
                           slash < 0 ? suite : suite + QLatin1Char('/') + address.left(slash));
        xml.writeAttribute(QStringLiteral("name"), address);
        if (r.failed) {
            const QString entry = failureEntry(r.out.failed);
            xml.writeStartElement(QStringLiteral("failure"));
            xml.writeAttribute(QStringLiteral("message"), entry);
            xml.writeAttribute(QStringLiteral("type"), QStringLiteral("failed verification"));
            xml.writeCharacters(entry);
            xml.writeEndElement();
        } else if (r.unreadable) {
            xml.writeStartElement(QStringLiteral("error"));
            xml.writeAttribute(QStringLiteral("message"),
                               oneLine(r.messages.join(QLatin1Char(' '))));
            xml.writeEndElement();
        }
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    return bytes;
}

struct NamedFile {
    QString what; // "report", "rules file", ...
    QString path;
};

// An output that is also an input or another output would destroy it: refused before any work.
void refuseSharedFiles(const QList<NamedFile>& outputs, const QList<NamedFile>& inputs,
                       const QStringList& pages, const QStringList& pageFiles) {
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
    for (qsizetype p = 0; p < pageFiles.size(); ++p) {
        const platform::FileIdentity page = platform::fileIdentity(pageFiles.at(p));
        for (qsizetype i = 0; i < outputs.size(); ++i)
            if (ids.at(i).exists && ids.at(i) == page)
                throw clash(outputs.at(i), NamedFile{QStringLiteral("page"), pages.at(p)});
    }
}

void writeOutput(const char* what, const QString& path, const std::function<void()>& write) {
    try {
        write();
    } catch (const platform::Error& e) {
        throw CannotRun{QStringLiteral("the %1 %2 cannot be written: %3")
                            .arg(QLatin1String(what), path, e.message())};
    }
}

// The web folder's own name, however it was given ("public/", "./public").
QString suiteName(const QString& webFolder) {
    const QString clean = QDir::cleanPath(webFolder);
    const QString name = QFileInfo(clean).fileName();
    return name.isEmpty() ? clean : name;
}

int parseJobs(const QString& text) {
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < 1 || n > 1024)
        throw UsageError{
            QStringLiteral("--jobs needs a number from 1 to 1024, not \"%1\"").arg(text)};
    return n;
}

} // namespace

Options parseArguments(const QStringList& arguments) {
    Options o;
    QStringList positional;
    bool optionsEnd = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        if (optionsEnd || !a.startsWith(QLatin1String("-")) || a == QLatin1String("-")) {
            positional.append(a);
            continue;
        }
        if (a == QLatin1String("--")) {
            optionsEnd = true;
            continue;
        }
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            o.help = true;
            continue;
        }
        if (a == QLatin1String("--quiet")) {
            o.quiet = true;
            continue;
        }
        QString name = a;
        QString value;
        bool hasValue = false;
        const qsizetype eq = a.indexOf(QLatin1Char('='));
        if (eq > 0) {
            name = a.left(eq);
            value = a.mid(eq + 1);
            hasValue = true;
        }
        static const QStringList withValue{
            QStringLiteral("--folder"),  QStringLiteral("--rules"),  QStringLiteral("--required"),
            QStringLiteral("--results"), QStringLiteral("--report"), QStringLiteral("--junit"),
            QStringLiteral("--jobs")};
        if (!withValue.contains(name))
            throw UsageError{QStringLiteral("unknown option %1").arg(name)};
        if (!hasValue) {
            if (i + 1 >= arguments.size())
                throw UsageError{QStringLiteral("%1 needs a value").arg(name)};
            value = arguments.at(++i);
        }
        if (name == QLatin1String("--folder"))
            o.folders.append(value);
        else if (name == QLatin1String("--jobs"))
            o.jobs = parseJobs(value);
        else if (value.isEmpty())
            throw UsageError{QStringLiteral("%1 needs a file name").arg(name)};
        else if (name == QLatin1String("--rules"))
            o.rulesFile = value;
        else if (name == QLatin1String("--required"))
            o.requiredFile = value;
        else if (name == QLatin1String("--results"))
            o.resultsFile = value;
        else if (name == QLatin1String("--report"))
            o.reportFile = value;
        else
            o.junitFile = value;
    }
    if (o.help)
        return o;
    if (positional.isEmpty())
        throw UsageError{QStringLiteral("no web folder given")};
    o.web = positional.takeFirst();
    o.pages = positional;
    return o;
}

int run(const Options& o, const QString& programFolder, std::FILE* out, std::FILE* err) {
    try {
        webhost::LocalWeb web = [&] {
            try {
                return webhost::LocalWeb::onFolder(o.web);
            } catch (const platform::Error& e) {
                throw CannotRun{e.message()};
            }
        }();
        const int jobs = o.jobs > 0 ? o.jobs : std::max(1, QThread::idealThreadCount());
        const engine::RuleValues values = readRules(o.rulesFile);
        const QString requiredFile =
            o.requiredFile.isEmpty() ? rules::requiredTagFile(programFolder) : o.requiredFile;
        engine::RuleTable grid;
        grid.setNames(requiredNames(requiredFile, values));

        QStringList pages;
        QStringList files;
        Gathered gathered;
        if (!o.pages.isEmpty()) {
            for (const QString& p : o.pages) {
                pages.append(pageAddress(web, p));
                files.append(web.pathOf(pages.last()));
            }
        } else {
            // The listings hold only files inside the web.
            gathered = gatherPages(web, o.folders, jobs);
            pages = gathered.rows;
            const QString root = web.webFolder() + QLatin1Char('/');
            for (const QString& p : pages)
                files.append(root + p);
        }
        {
            QList<NamedFile> outputs;
            if (!o.resultsFile.isEmpty())
                outputs.append({QStringLiteral("results file"), o.resultsFile});
            if (!o.reportFile.isEmpty())
                outputs.append({QStringLiteral("report"), o.reportFile});
            if (!o.junitFile.isEmpty())
                outputs.append({QStringLiteral("JUnit file"), o.junitFile});
            refuseSharedFiles(
                outputs,
                {{QStringLiteral("rules file"),
                  o.rulesFile.isEmpty() ? platform::RegistryStore::defaultPath() : o.rulesFile},
                 {QStringLiteral("required tag file"), requiredFile}},
                pages, files);
        }
        for (const QString& m : std::as_const(gathered.unreadable))
            say(err, m);
        for (const webhost::UnlistedName& u : std::as_const(gathered.unlisted))
            say(err, batch::unlistedMessage(u));
        if (pages.isEmpty() && gathered.unlisted.isEmpty())
            return kCannotRun; // nothing could be listed, and the reasons are said
        const bool single = o.pages.size() == 1;
        const int checked = int(pages.size());

        const bool showProgress = checked > 1 && isatty(fileno(err));
        Run checks(pages, files, values, grid, !single);
        checks.execute(jobs, [&](int done) {
            if (showProgress)
                std::fprintf(err, "\rquillmark-check: %d of %d pages checked", done, checked);
        });
        if (showProgress)
            std::fprintf(err, "\rquillmark-check: %d of %d pages checked\n", checked, checked);
        // A page whose name cannot be listed counts as a failed page of the run.
        for (const webhost::UnlistedName& u : std::as_const(gathered.unlisted)) {
            if (u.isFolder)
                continue;
            const QString shown =
                u.folder.isEmpty() ? u.name : u.folder + QLatin1Char('/') + u.name;
            PageResult r;
            r.failed = true;
            r.out.failed = {QStringLiteral("File = ") + shown,
                            QStringLiteral("    The page cannot be checked: ") + u.reason,
                            QString()};
            encodePanes(r);
            pages.append(shown);
            checks.append(std::move(r));
        }
        const int n = int(pages.size());

        int failedPages = 0;
        bool unreadable = !gathered.unreadable.isEmpty();
        for (const webhost::UnlistedName& u : std::as_const(gathered.unlisted))
            unreadable = unreadable || u.isFolder;
        bool fits = true;
        for (int i = 0; i < n; ++i) {
            const PageResult& r = checks.results()[size_t(i)];
            if (r.fatal)
                throw CannotRun{r.fatalMessage};
            for (const QString& m : r.messages)
                say(err, m);
            failedPages += r.failed ? 1 : 0;
            unreadable = unreadable || r.unreadable;
            fits = fits && r.fits;
        }
        engine::PaneOutput heads;
        heads.passed = {engine::kPassedHeading};
        heads.failed = {engine::kFailedHeading, QString()};
        heads.keyword = {engine::kKeywordHeading};
        engine::PaneOutput summary;
        if (!single)
            engine::addSummary(summary, failedPages, n);

        // The panes' lines, needed for the report, and for the file whenever a page does not fit
        // Windows-1252 (the file is then UTF-8 as a whole).
        QStringList panes[3];
        const auto paneLines = [&] {
            const QStringList* parts[3][2] = {{&heads.passed, &summary.passed},
                                              {&heads.failed, &summary.failed},
                                              {&heads.keyword, &summary.keyword}};
            for (int p = 0; p < 3; ++p) {
                panes[p] = *parts[p][0];
                for (const PageResult& r : checks.results())
                    panes[p] += p == 0 ? r.out.passed : p == 1 ? r.out.failed : r.out.keyword;
                panes[p] += *parts[p][1];
            }
        };
        if (!o.reportFile.isEmpty() || !fits)
            paneLines();
        QByteArray bytes;
        if (fits) {
            const QStringList* parts[3][2] = {{&heads.passed, &summary.passed},
                                              {&heads.failed, &summary.failed},
                                              {&heads.keyword, &summary.keyword}};
            qsizetype size = 0;
            for (const PageResult& r : checks.results())
                size += r.bytes[0].size() + r.bytes[1].size() + r.bytes[2].size();
            bytes.reserve(size + 512);
            for (int p = 0; p < 3; ++p) {
                bytes += platform::ansiLinesBytes(*parts[p][0]);
                for (const PageResult& r : checks.results())
                    bytes += r.bytes[p];
                bytes += platform::ansiLinesBytes(*parts[p][1]);
            }
        } else {
            bytes =
                platform::ansiLinesBytes(results::resultsFileLines(panes[0], panes[1], panes[2]));
        }

        if (!o.resultsFile.isEmpty())
            writeOutput("results file", o.resultsFile,
                        [&] { platform::writeFileAtomically(o.resultsFile, bytes); });
        if (!o.reportFile.isEmpty())
            writeOutput("report", o.reportFile, [&] {
                engine::writeReport(o.reportFile, engine::reportHead(programFolder) +
                                                      engine::reportBody(panes[1], panes[0],
                                                                         panes[2], values.bodychk));
            });
        if (!o.junitFile.isEmpty())
            writeOutput("JUnit file", o.junitFile, [&] {
                platform::writeFileAtomically(
                    o.junitFile,
                    junitXml(suiteName(web.webFolder()), pages, checks.results(), failedPages));
            });
        if (!o.quiet) {
            if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), out) !=
                    size_t(bytes.size()) ||
                std::fflush(out) != 0)
                throw CannotRun{QStringLiteral("standard output cannot be written: %1")
                                    .arg(QString::fromLocal8Bit(std::strerror(errno)))};
        }
        if (unreadable)
            return kCannotRun;
        return failedPages > 0 ? kSomeFailed : kAllPassed;
    } catch (const CannotRun& e) {
        say(err, e.message);
        return kCannotRun;
    }
}

int main(const QStringList& arguments, const QString& programFolder, std::FILE* out,
         std::FILE* err) {
    Options o;
    try {
        o = parseArguments(arguments);
    } catch (const UsageError& e) {
        say(err, e.message + QStringLiteral(" (see quillmark-check --help)"));
        return kCannotRun;
    }
    if (o.help) {
        if (std::fputs(kUsage, out) < 0 || std::fflush(out) != 0) {
            say(err, QStringLiteral("standard output cannot be written: %1")
                         .arg(QString::fromLocal8Bit(std::strerror(errno))));
            return kCannotRun;
        }
        return kAllPassed;
    }
    return run(o, programFolder, out, err);
}

} // namespace checkcli
