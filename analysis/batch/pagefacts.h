#pragma once

// What the machine-readable outputs of a run say of each page: its facts and its findings, one
// finding for each problem line the checks wrote, with the line of the page file it is about.

#include "analysis/engine/pagestate.h"
#include "analysis/engine/rulebase.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <span>
#include <utility>

namespace batch {

// A kind of finding, as the SARIF output describes it.
struct FindingKind {
    const char* id;
    const char* name;
    const char* shortText;
    const char* fullText;
    const char* level; // "error": the page fails by it; "warning": it is shown only
};
std::span<const FindingKind> findingKinds();

struct Finding {
    QString kind;   // the id of its FindingKind
    QString tag;    // the tag, label or keyword it is about; "" for the page
    QString detail; // the line the checks wrote
    int line = 0;   // 1-based line of the page file; 0: the page as a whole
};

struct PageFacts {
    QString status; // "passed", "failed", "unreadable", "unlisted", "unfetched"
    bool hasTitle = false;
    QString title;
    int keywordsLength = 0;
    int descriptionLength = 0;
    QStringList failure;                          // the failure entry's lines
    QList<std::pair<QString, int>> keywordCounts; // as the keyword check counted them
    QList<Finding> findings;
};

// The facts of a page right after its check, from the check's state and its pane lines.
PageFacts pageFacts(const engine::PageState& st, const engine::RuleTable& table,
                    const engine::PageText& page, const QString& address,
                    const engine::PaneOutput& out, bool failed, bool unreadable,
                    const QStringList& messages);
// A page whose name could not be listed.
PageFacts unlistedFacts(const QString& reason, const QStringList& failureLines);
// A page the host listed but could not give (an error answer of a site).
PageFacts unfetchedFacts(const QString& reason, const QStringList& failureLines);

// A page's failure entry: its lines of the failed pane without the empty lines around them.
QStringList failureEntry(const QStringList& failedLines);

// JSON text of a string, quotes included, appended.
void appendJsonString(QByteArray& to, QStringView text);
// A JSON array of strings, appended.
void appendJsonStrings(QByteArray& to, const QStringList& list);

// The page's object of the JSON output.
QByteArray pageJson(const QString& address, const PageFacts& facts);
// The page's SARIF results, joined by commas; empty when it has no finding.
QByteArray pageSarifResults(const QString& address, const PageFacts& facts);

} // namespace batch
