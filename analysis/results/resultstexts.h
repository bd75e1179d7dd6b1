#pragma once

// The results commands' own texts, in one place.

#include <QString>

namespace results {

// Results files.
inline const QString kSaveFilter = QStringLiteral("Results List|*.rls");
inline const QString kOpenFilter = QStringLiteral("Relults List|*.rls|All Files|*.*");
inline const QString kOpenTitle = QStringLiteral("Open Results List");
inline const QString kDefaultExtension = QStringLiteral("rls");
inline const QString kDefaultFileName = QStringLiteral("Results");
inline const QString kResultsSaved = QStringLiteral("Results Saved to: ");
// Where the failed part of a results file begins (the start of that pane's heading line); the
// keyword part begins at the keyword pane's heading.
inline const QString kFailedMarker = QStringLiteral("Listing of files that failed");

// Printing.
inline const QString kNothingToPrint = QStringLiteral("There is no current report to print");
inline const QString kPassedJob = QStringLiteral("Verification Passed Report");
inline const QString kFailedJob = QStringLiteral("Verification Failed Report");
inline const QString kKeywordJob = QStringLiteral("Verification Key Word Density Report");
inline const QString kJobCannotStart =
    QStringLiteral("The print job \"%1\" cannot start on the printer.");
inline const QString kJobFailed = QStringLiteral("The print job \"%1\" could not be printed.");

// Mail.
inline const QString kMailSubject = QStringLiteral("Quillmark for FrontPage Report");
inline const QString kKeywordMailSubject =
    QStringLiteral("Quillmark for FrontPage! Key Word Density Report");
inline const QString kNoMailProgram = QStringLiteral(
    "No mail program is set up to compose the message.\r\n\r\n"
    "Choose a default mail program for mailto: links on this computer and try again.");

// The report in the web browser.
inline const QString kReportNotOpened = QStringLiteral(
    "The report \"%1\" could not be opened in a web browser.\r\n\r\n"
    "Install a web browser or choose a default program for HTML files on this computer and try "
    "again, or open the file in a web browser yourself.");

} // namespace results
