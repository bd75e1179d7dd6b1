#include "resultsfile.h"

#include "resultstexts.h"

#include "analysis/engine/checks.h"
#include "platform/textfile.h"

namespace results {

QStringList resultsFileLines(const QStringList& passed, const QStringList& failed,
                             const QStringList& keyword) {
    return passed + failed + keyword;
}

QStringList allResultsLines(const QStringList& passed, const QStringList& failed,
                            const QStringList& keyword) {
    QStringList out = passed;
    out.append(QString());
    out += failed;
    out.append(QString());
    out += keyword;
    return out;
}

void writeResultsFile(const QString& path, const QStringList& lines) {
    platform::writeAnsiLines(path, lines);
}

QStringList readResultsFile(const QString& path) {
    // The results of a whole web of 100,000 pages take some tens of megabytes.
    constexpr qint64 kMaxResultsBytes = qint64(256) << 20;
    return platform::splitLines(
        platform::decodeText(platform::readFileBytes(path, kMaxResultsBytes)).text);
}

PaneTexts splitResults(const QString& text) {
    PaneTexts out;
    const qsizetype failedAt = text.indexOf(kFailedMarker);
    if (failedAt < 0) {
        out.passed = text;
        return out;
    }
    out.passed = text.left(failedAt);
    const qsizetype keywordAt = text.indexOf(engine::kKeywordHeading, failedAt);
    if (keywordAt < 0) {
        out.failed = text.mid(failedAt);
        return out;
    }
    out.failed = text.mid(failedAt, keywordAt - failedAt);
    out.keyword = text.mid(keywordAt);
    return out;
}

} // namespace results
