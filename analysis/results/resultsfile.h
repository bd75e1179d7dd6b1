#pragma once

#include <QStringList>

namespace results {

// What a results file holds: the passed, the failed and the keyword pane's lines, in that
// order, with nothing between them.
QStringList resultsFileLines(const QStringList& passed, const QStringList& failed,
                             const QStringList& keyword);

// All results as one text for the clipboard and mail: the passed pane, an empty line, the
// failed pane, an empty line, the keyword pane.
QStringList allResultsLines(const QStringList& passed, const QStringList& failed,
                            const QStringList& keyword);

// Written atomically, CR LF after every line, Windows-1252 when every character fits (else
// UTF-8 with a byte-order mark). Raises EFCreateError.
void writeResultsFile(const QString& path, const QStringList& lines);
// The file's lines, UTF-8 or Windows-1252 as it was written. Raises EFOpenError.
QStringList readResultsFile(const QString& path);

// A results file's text cut into its three panes: the failed part begins at the first
// "Listing of files that failed", the keyword part at the first "Keyword Check" after that.
// Without the first text everything is passed; without the second the rest is failed.
struct PaneTexts {
    QString passed;
    QString failed;
    QString keyword;
};
PaneTexts splitResults(const QString& text);

} // namespace results
