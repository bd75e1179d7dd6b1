#pragma once

// The rules by which the pages of a batch are gathered from the web host's folder listings:
// plain functions on texts, shared by the batch commands and any tool that checks a web.

#include "webhost/host.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace batch {

// The entry of the folder list that stands for the root of the web.
extern const QString kWebRootEntry;
// What the gathering says when the folders hold no page to choose.
extern const QString kNoWebFiles;

// The folder name the host is asked for: "" for the root entry (exactly as written), any other
// entry unchanged.
QString listingFolder(const QString& entry);
// The folder list's entry for a folder of the web. A folder that happens to be named like the
// root entry gets a final '/' so that it is not taken for the root.
QString folderEntry(const QString& webFolder);

// A folder listing's addresses appended to folderListing, leaving out those it already holds
// without regard to case.
void addUniqueLines(QStringList& folderListing, const QStringList& listing);
// "result....htm" pages are the program's own result pages: a line ending in ".htm" and
// beginning with "result", both without regard to case.
bool isResultPage(const QString& line);
// A line that ends in one of the five page types, without regard to case.
bool isWebPage(const QString& line);
// The lines of folderListing that become rows of the selection dialog, in folderListing's
// order.
QStringList candidateRows(const QStringList& folderListing);

// Every folder of the list through the host's listing, folderListing emptied for each folder: the
// rows of all folders in folder order. Rows are not de-duplicated across folders. A failure of
// listFolder is not caught. The names the host could not list go to unlisted where they would
// have been rows, and every such folder.
QStringList gatherRows(const QStringList& folders,
                       const std::function<webhost::PageListing(const QString& folder)>& listFolder,
                       QStringList& folderListing,
                       QList<webhost::UnlistedName>* unlisted = nullptr);
// What a name the host could not list is, in one line that names its folder.
QString unlistedMessage(const webhost::UnlistedName& name);

// The selection dialog's order: ascending by text without regard to case, ties by exact text.
bool rowLess(const QString& a, const QString& b);
void sortRows(QStringList& rows);

} // namespace batch
