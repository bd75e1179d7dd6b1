#include "checkrun.h"

#include "machineoutput.h"

#include "analysis/batch/batchrun.h"
#include "analysis/batch/gathering.h"
#include "analysis/batch/runoutput.h"
#include "analysis/engine/report.h"
#include "analysis/rules/rulestore.h"
#include "platform/filenames.h"
#include "platform/infooptions.h"
#include "platform/registrystore.h"
#include "platform/textfile.h"
#include "webhost/localweb.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <optional>
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
    "  --required FILE  the required tag file instead of quillmark's (the user's\n"
    "                 Required/metareq.txt, else the delivered one)\n"
    "  --results FILE also write the results file (.rls) of the run\n"
    "  --report FILE  also write the HTML report of the run\n"
    "  --junit FILE   also write a JUnit XML file, one test case per page\n"
    "  --json FILE    also write the run's pages, facts and findings as JSON\n"
    "  --sarif FILE   also write the findings as a SARIF 2.1.0 log\n"
    "  --format F     standard output gets json or sarif instead of the panes\n"
    "  --jobs N       pages checked at once (default: the number of processors)\n"
    "  --quiet        no panes on standard output\n"
    "  --help         this text\n"
    "  --version      the version of quillmark-check\n"
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

void say(std::FILE* err, const QString& text) {
    std::fprintf(err, "quillmark-check: %s\n", batch::oneLine(text).toLocal8Bit().constData());
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
        if (a == QLatin1String("--version")) {
            o.version = true;
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
            QStringLiteral("--jobs"),    QStringLiteral("--json"),   QStringLiteral("--sarif"),
            QStringLiteral("--format")};
        if (!withValue.contains(name))
            throw UsageError{QStringLiteral("unknown option %1").arg(name)};
        if (!hasValue) {
            if (i + 1 >= arguments.size())
                throw UsageError{QStringLiteral("%1 needs a value").arg(name)};
            value = arguments.at(++i);
        }
        // The machine-readable outputs.
        if (name == QLatin1String("--format")) {
            if (value == QLatin1String("json"))
                o.format = Options::Format::Json;
            else if (value == QLatin1String("sarif"))
                o.format = Options::Format::Sarif;
            else
                throw UsageError{
                    QStringLiteral("--format takes json or sarif, not \"%1\"").arg(value)};
            continue;
        }
        if ((name == QLatin1String("--json") || name == QLatin1String("--sarif")) &&
            !value.isEmpty()) {
            (name == QLatin1String("--json") ? o.jsonFile : o.sarifFile) = value;
            continue;
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
    if (o.help || o.version)
        return o;
    if (positional.isEmpty())
        throw UsageError{QStringLiteral("no web folder given")};
    o.web = positional.takeFirst();
    o.pages = positional;
    return o;
}

int run(const Options& o, const platform::Folders& folders, std::FILE* out, std::FILE* err) {
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
            o.requiredFile.isEmpty() ? rules::requiredTagFileToRead(folders) : o.requiredFile;
        engine::RuleTable grid;
        grid.setNames(requiredNames(requiredFile, values));

        QStringList pages;
        QStringList namedFiles;
        Gathered gathered;
        if (!o.pages.isEmpty()) {
            for (const QString& p : o.pages) {
                pages.append(pageAddress(web, p));
                namedFiles.append(web.pathOf(pages.last()));
            }
        } else {
            // The listings hold only files inside the web.
            gathered = gatherPages(web, o.folders, jobs);
            pages = std::move(gathered.rows);
        }
        const QString root = web.webFolder() + QLatin1Char('/');
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
            refuseSharedFiles(
                outputs,
                {{QStringLiteral("rules file"),
                  o.rulesFile.isEmpty() ? platform::RegistryStore::defaultPath() : o.rulesFile},
                 {QStringLiteral("required tag file"), requiredFile}},
                pages, fileOf);
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
        const bool json = !o.jsonFile.isEmpty() || (o.format == Options::Format::Json && !o.quiet);
        const bool sarif =
            !o.sarifFile.isEmpty() || (o.format == Options::Format::Sarif && !o.quiet);
        batch::RunOutput output({!o.reportFile.isEmpty(), !o.junitFile.isEmpty(),
                                 suiteName(web.webFolder()), batch::Spool::kMemoryLimit, json,
                                 sarif});
        batch::BatchRun checks(pages, values, grid, !single);
        const std::optional<QString> fatal = checks.runOnJobs(fileOf, jobs, output, [&](int done) {
            if (showProgress)
                std::fprintf(err, "\rquillmark-check: %d of %d pages checked", done, checked);
        });
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
        const RuleSources sources{
            o.rulesFile.isEmpty() ? QStringLiteral("settings") : QStringLiteral("file"),
            o.rulesFile.isEmpty() ? platform::RegistryStore::defaultPath() : o.rulesFile,
            !o.requiredFile.isEmpty()               ? QStringLiteral("file")
            : requiredFile.startsWith(folders.data) ? QStringLiteral("program")
                                                    : QStringLiteral("user"),
            requiredFile};
        const auto writeJson = [&](const platform::ByteWriter& write) {
            output.writeJson(jsonOpening(sources, values, grid.names(), web.webFolder()), write);
        };
        const auto writeSarif = [&](const platform::ByteWriter& write) {
            output.writeSarif(sarifOpening(sources, web.webFolder()), !unreadable, write);
        };
        if (!o.jsonFile.isEmpty())
            writeOutput("JSON file", o.jsonFile, writeJson);
        if (!o.sarifFile.isEmpty())
            writeOutput("SARIF file", o.sarifFile, writeSarif);
        if (!o.quiet) {
            const std::function<void(const platform::ByteWriter&)> toOut =
                o.format == Options::Format::Json ? std::function(writeJson)
                : o.format == Options::Format::Sarif
                    ? std::function(writeSarif)
                    : [&](const platform::ByteWriter& write) { output.writeResults(write); };
            toOut([&](const QByteArray& bytes) {
                if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), out) !=
                    size_t(bytes.size()))
                    throw CannotRun{QStringLiteral("standard output cannot be written: %1")
                                        .arg(QString::fromLocal8Bit(std::strerror(errno)))};
            });
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
        say(err, e.message + QStringLiteral(" (see quillmark-check --help)"));
        return kCannotRun;
    }
    if (o.help || o.version) {
        const QByteArray version =
            QByteArrayLiteral("quillmark-check ") + platform::programVersion() + '\n';
        if (std::fputs(o.help ? kUsage : version.constData(), out) < 0 || std::fflush(out) != 0) {
            say(err, QStringLiteral("standard output cannot be written: %1")
                         .arg(QString::fromLocal8Bit(std::strerror(errno))));
            return kCannotRun;
        }
        return kAllPassed;
    }
    return run(o, folders, out, err);
}

} // namespace checkcli