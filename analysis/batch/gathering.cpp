#include "gathering.h"

#include "platform/ascii.h"

#include <QSet>

#include <algorithm>

namespace batch {

const QString kWebRootEntry = QStringLiteral("Web Root Directory");
const QString kNoWebFiles = QStringLiteral("The are no Web Files in the selected directory");

QString listingFolder(const QString& entry) {
    return entry == kWebRootEntry ? QString() : entry;
}

QString folderEntry(const QString& webFolder) {
    return webFolder == kWebRootEntry ? webFolder + QLatin1Char('/') : webFolder;
}

void addUniqueLines(QStringList& folderListing, const QStringList& listing) {
    QSet<QString> held;
    held.reserve(folderListing.size());
    for (const QString& l : std::as_const(folderListing))
        held.insert(l.toCaseFolded());
    for (const QString& l : listing) {
        const QString key = l.toCaseFolded();
        if (held.contains(key))
            continue;
        held.insert(key);
        folderListing.append(l);
    }
}

bool isResultPage(const QString& line) {
    // The last four characters joined to the first six.
    return platform::asciiLower(line.right(4) + line.left(6)) == QLatin1String(".htmresult");
}

bool isWebPage(const QString& line) {
    static const char* const kTypes[] = {".asp", ".htm", ".html", ".shtml", ".shtm"};
    for (const char* t : kTypes) {
        const QLatin1String type(t);
        if (platform::asciiLower(line.right(type.size())) == type)
            return true;
    }
    return false;
}

QStringList candidateRows(const QStringList& folderListing) {
    QStringList rows;
    for (const QString& l : folderListing)
        if (!isResultPage(l) && isWebPage(l))
            rows.append(l);
    return rows;
}

QStringList gatherRows(const QStringList& folders,
                       const std::function<webhost::PageListing(const QString&)>& listFolder,
                       QStringList& folderListing, QList<webhost::UnlistedName>* unlisted) {
    QStringList rows;
    for (const QString& f : folders) {
        folderListing.clear();
        const webhost::PageListing listing = listFolder(listingFolder(f));
        addUniqueLines(folderListing, listing.pages);
        if (listing.allPages) {
            for (const QString& l : std::as_const(folderListing))
                if (!isResultPage(l))
                    rows.append(l);
        } else {
            rows += candidateRows(folderListing);
        }
        if (unlisted)
            for (const webhost::UnlistedName& u : listing.unlisted)
                if (u.isFolder ||
                    (!isResultPage(u.name) && (listing.allPages || isWebPage(u.name))))
                    unlisted->append(u);
    }
    return rows;
}

QString unlistedMessage(const webhost::UnlistedName& name) {
    const QString folder = name.folder.isEmpty() ? kWebRootEntry : name.folder;
    return (name.isFolder ? QStringLiteral("The folder %1 in the folder %2 cannot be listed: %3.")
                          : QStringLiteral("The page %1 in the folder %2 cannot be checked: %3."))
        .arg(name.name, folder, name.reason);
}

bool rowLess(const QString& a, const QString& b) {
    return platform::caseFoldedLess(a, b);
}

void sortRows(QStringList& rows) {
    std::sort(rows.begin(), rows.end(), rowLess);
}

} // namespace batch
