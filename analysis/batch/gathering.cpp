#include "gathering.h"

#include "platform/ascii.h"
#include "platform/textfile.h"

#include <QSet>

#include <algorithm>

namespace batch {

const QString kWebRootEntry = QStringLiteral("Web Root Directory");

QString listingFolder(const QString& entry) {
    return entry == kWebRootEntry ? QString() : entry;
}

QString folderEntry(const QString& webFolder) {
    return webFolder == kWebRootEntry ? webFolder + QLatin1Char('/') : webFolder;
}

void addUniqueLines(QStringList& batchget, const QString& listing) {
    QSet<QString> held;
    held.reserve(batchget.size());
    for (const QString& l : std::as_const(batchget))
        held.insert(l.toCaseFolded());
    for (const QString& l : platform::splitLines(listing)) {
        const QString key = l.toCaseFolded();
        if (held.contains(key))
            continue;
        held.insert(key);
        batchget.append(l);
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

QStringList candidateRows(const QStringList& batchget) {
    QStringList rows;
    for (const QString& l : batchget)
        if (!isResultPage(l) && isWebPage(l))
            rows.append(l);
    return rows;
}

QStringList gatherRows(const QStringList& folders,
                       const std::function<QString(const QString&)>& listFolder,
                       QStringList& batchget) {
    QStringList rows;
    for (const QString& f : folders) {
        batchget.clear();
        addUniqueLines(batchget, listFolder(listingFolder(f)));
        rows += candidateRows(batchget);
    }
    return rows;
}

bool rowLess(const QString& a, const QString& b) {
    const int c = a.compare(b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
}

void sortRows(QStringList& rows) {
    std::sort(rows.begin(), rows.end(), rowLess);
}

} // namespace batch
