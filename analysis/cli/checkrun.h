#pragma once

// quillmark-check: the checks of the analysis program on a web folder, without a window.

#include <QStringList>

#include <cstdio>

namespace checkcli {

enum ExitStatus { kAllPassed = 0, kSomeFailed = 1, kCannotRun = 2 };

struct Options {
    QString web;
    QStringList pages;   // page addresses or paths as given
    QStringList folders; // --folder values as given
    QString rulesFile;
    QString requiredFile;
    QString resultsFile;
    QString reportFile;
    QString junitFile;
    int jobs = 0; // 0: one per processor
    bool quiet = false;
    bool help = false;
    bool version = false;
};

extern const char* const kUsage;

// Throws UsageError for options that cannot be taken.
Options parseArguments(const QStringList& arguments);

// Runs the checks; standard output gets the panes, standard error the messages and the progress.
// programFolder is where the required tag file and the report's style sheet are found.
int run(const Options& options, const QString& programFolder, std::FILE* out, std::FILE* err);

// The whole command: arguments without the program name.
int main(const QStringList& arguments, const QString& programFolder, std::FILE* out,
         std::FILE* err);

} // namespace checkcli
