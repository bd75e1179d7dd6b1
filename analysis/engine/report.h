#pragma once

#include "pagefile.h"

#include <QStringList>

namespace engine {

// The HTML report: its 18 head lines, written when a check or run starts, and its body of three
// sections from the panes, appended when the user accepts the offer.
QStringList reportHead(const QString& dataFolder); // the logo is the data folder's
// The same head with the logo at logoSource (an img src such as a data: URL); an empty source
// leaves the picture out and keeps the 18 lines.
QStringList reportHeadWithLogo(const QString& logoSource);

// The data folder's logo as a data: URL, for a report that is kept away from this machine.
// Raises EFOpenError when the logo cannot be read or is no picture.
QString logoDataUrl(const QString& dataFolder);

// The check's report body: the failed, passed and keyword pane lines under their sections, with
// the body check count as stored in Section Three. Pane text is escaped.
QStringList reportBody(const QStringList& failedPane, const QStringList& passedPane,
                       const QStringList& keywordPane, const QString& bodychk);

// The browser view's body: as reportBody, but Section Three has the browser view's own text.
QStringList browserViewBody(const QStringList& failedPane, const QStringList& passedPane,
                            const QStringList& keywordPane, const QString& bodychk);

// &, <, > and " as character references.
QString escapeHtml(const QString& text);

// The report file: CR LF after every line, Windows-1252 with numeric character references for
// what does not fit, written atomically. Raises EFCreateError.
void writeReport(const QString& path, const QStringList& lines);

} // namespace engine
