#pragma once

// The messages of the page checks and of the host's failures to give a page, shared by "Check
// Current File", the batch run and the body check tester.

#include <QString>

namespace quillmark::checktexts {

inline const QString kError3002 =
    QStringLiteral("Unable to access FrontPage\r\n\r\nvtiTop Error 3002");
inline const QString kError3001 = QStringLiteral("Unable to access FrontPage\r\n\r\nError 3001");
inline const QString kReportQuestion = QStringLiteral("%1 %2?").arg(
    QStringLiteral("View the report in your browser?"), QStringLiteral("  Continue"));
inline const QString kReady = QStringLiteral("Ready");

inline QString cannotOpen(const QString& address) {
    return QStringLiteral("File : ") + address + QStringLiteral(" Could Not be Opened") +
           QLatin1Char('\r') +
           QStringLiteral("Check to Make Sure File Exists and update list accordingly.");
}

} // namespace quillmark::checktexts
