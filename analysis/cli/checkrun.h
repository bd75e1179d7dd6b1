#pragma once

// quillmark-check: the checks of the analysis program on a web folder, without a window.

#include "platform/folders.h"

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
    // The machine-readable outputs: files, and what standard output gets instead of the panes.
    QString jsonFile;
    QString sarifFile;
    enum class Format { Text, Json, Sarif } format = Format::Text;
    bool quiet = false;
    bool help = false;
    bool version = false;
};

extern const char* const kUsage;

// Throws UsageError for options that cannot be taken.
Options parseArguments(const QStringList& arguments);

// Runs the checks; standard output gets the panes, standard error the messages and the progress.
// The required tag file is the user's list of `folders`, else its delivered default; the
// report's logo is the data folder's. Nothing is written to the folders.
int run(const Options& options, const platform::Folders& folders, std::FILE* out, std::FILE* err);

// The whole command: arguments without the program name.
int main(const QStringList& arguments, const platform::Folders& folders, std::FILE* out,
         std::FILE* err);

} // namespace checkcli
