#pragma once

// quillmark-check: the checks of the analysis program on a web folder, without a window.

#include "platform/folders.h"

#include <QStringList>

#include <cstdio>

namespace checkcli {

enum ExitStatus { kAllPassed = 0, kSomeFailed = 1, kCannotRun = 2 };

// What standard output holds.
enum class Format {
    Text,  // the panes for people: UTF-8, LF, in colour on a terminal
    Rls,   // the results file's bytes
    Json,  // the bytes of --json
    Sarif, // the bytes of --sarif
};
// Every format by its name on the command line, in the order --help lists them.
struct FormatName {
    const char* name;
    Format format;
};
inline constexpr FormatName kFormats[] = {
    {"text", Format::Text}, {"rls", Format::Rls}, {"json", Format::Json}, {"sarif", Format::Sarif}};

enum class ColorWhen { Auto, Always, Never };

// What bounds the listing of a site; the defaults of the site host.
struct SiteOptions {
    int maxPages = 10000;
    int maxDepth = 100;
    int connections = 4;
    QString userAgent;   // empty: the host's own
    QStringList headers; // "Name: value"
    bool insecure = false;
    QString caFile;
};

struct Options {
    QString web;          // a web folder, or a site's http:// or https:// address
    QStringList pages;    // page addresses or paths as given
    QStringList folders;  // --folder values as given
    QStringList excludes; // --exclude globs as given
    QString rulesFile;
    QString requiredFile;
    QString resultsFile;
    QString reportFile;
    QString junitFile;
    QString initWeb; // --init: the web whose rule files are written, nothing checked
    Format format = Format::Text;
    ColorWhen color = ColorWhen::Auto;
    int jobs = 0; // 0: one per processor
    // The machine-readable outputs.
    QString jsonFile;
    QString sarifFile;
    SiteOptions site;
    QStringList siteOptionsGiven; // "--max-pages", ...: refused for a web folder
    bool quiet = false;
    bool help = false;
    bool version = false;
};

// A command line that cannot be taken; message is one line without the program's name.
struct UsageError {
    QString message;
};

extern const char* const kUsage;

// Throws UsageError for options that cannot be taken.
Options parseArguments(const QStringList& arguments);

// The web named on the command line is a site: an http:// or https:// address.
bool isSiteAddress(const QString& web);

// Where a run's rule values and required tags come from.
struct RuleSources {
    // kind: "option" (--rules / --required), "web" (the web's .quillmark folder), "settings"
    // (the user's settings file) or "program" (the program's required tag list).
    QString rulesKind;
    QString rulesPath;
    QString requiredKind;
    QString requiredPath;
};
// The web's own rule files and page excludes, beside its pages.
extern const QString kWebConfigFolder; // ".quillmark"
extern const QString kWebRulesFile;    // ".quillmark/rules.reg"
extern const QString kWebRequiredFile; // ".quillmark/metareq.txt"
extern const QString kWebIgnoreFile;   // ".quillmark/ignore"

// The sources a run on the web takes: a file named by option, else the web's, else the user's.
RuleSources chooseRuleSources(const Options& options, const QString& webFolder,
                              const platform::Folders& folders);

// A page address matches a glob: '*' any characters within a segment, '?' one, "**" a whole
// segment run of any depth. A page is excluded when the glob matches its address or a folder it
// lies in; a glob ending in '/' names a folder.
bool excludedBy(const QString& address, const QString& glob);

// Runs the checks; standard output gets the panes, standard error the messages and the progress.
// The required tag file is the user's list of `folders`, else its delivered default; the
// report's logo is the data folder's. Nothing is written to the folders.
int run(const Options& options, const platform::Folders& folders, std::FILE* out, std::FILE* err);

// The whole command: arguments without the program name.
int main(const QStringList& arguments, const platform::Folders& folders, std::FILE* out,
         std::FILE* err);

} // namespace checkcli
