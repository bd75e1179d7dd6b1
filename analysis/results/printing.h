#pragma once

#include <QString>

class QPlainTextEdit;
class QPrinter;

namespace platform {
class Printer;
}

namespace results {

// Prints a pane's text as one job under the title on the current printer: the pane's font, laid
// out over the whole printable area of each page, a new page whenever one is full, no header,
// footer or page number. Raises platform::Error when the job cannot start.
void printPane(platform::Printer& printers, const QPlainTextEdit& pane, const QString& title);

// The layout and painting of printPane on a printer that is ready for a job.
void printPaneText(QPrinter& printer, const QPlainTextEdit& pane, const QString& title);

} // namespace results
