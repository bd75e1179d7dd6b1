#pragma once

#include <QStringList>

class QPlainTextEdit;

namespace results {

// A result pane seen as lines: its text is the lines with a line break after each, so that a pane
// holding one empty line differs from an empty pane. Text the user typed without a final line
// break still counts as a last line.
QStringList paneLines(const QPlainTextEdit* pane);
qsizetype paneLineCount(const QPlainTextEdit* pane);
bool paneIsEmpty(const QPlainTextEdit* pane);
// Adds lines at the end in one edit; a line with embedded CR LF (or LF, or CR) becomes several.
void addPaneLines(QPlainTextEdit* pane, const QStringList& lines);
void addPaneLine(QPlainTextEdit* pane, const QString& line);
// Replaces the whole text; line breaks of any kind are kept as line breaks.
void setPaneText(QPlainTextEdit* pane, const QString& text);
void clearPane(QPlainTextEdit* pane);

} // namespace results
