#pragma once

#include "pagestate.h"
#include "rulebase.h"

#include <functional>
#include <optional>

namespace engine {

// The pending head-problem lines and the title lines that go straight to the failed pane.
extern const QString kMissingBody;
extern const QString kMissingEndHead;
extern const QString kMissingHead;
extern const QString kMissingEndScript;
extern const QString kMissingEndStyle;
extern const QString kEmptyTitle;
extern const QString kTitleNotEnded;
extern const QString kTitleTagInside;
extern const QString kTitleMissingLine;

// Head section extraction and line layout.
// The page up to its end-head tag into the working copy (the whole page when there is none).
void extractHeadSection(PageState& st, const QString& pageText);
void SetCRLFLineBreaks(PageState& st);
void SetUpMetaLines(PageState& st, PaneOutput& out);
struct HeadBlock {
    qsizetype hs = 0;
    qsizetype he = -1; // -1: no end-head tag
};
HeadBlock SetUpHeadBlock(PageState& st);
void FormatTitleLine(PageState& st, qsizetype hs, qsizetype he, PaneOutput& out);
void PositionTitleLine(PageState& st);
void PositionLines(PageState& st);

// Utilities.
struct Extracted {
    QString text;
    qsizetype position = 0;
};
std::optional<Extracted> ExtractBetween(const QString& s, const QString& a, const QString& b,
                                        bool caseSensitive, bool include);
QString RemoveBetween(const QString& s, const QString& a, const QString& b);
int HeadLineIndex(const WorkingCopy& wc);
bool IsXHTMLDocument(const QString& text);
QString FormatHeadTag(PageState& st);

// The head pipeline in its order on the page's text: the head section laid out in the working
// copy, then the two tag readings. `after` is told each step as it ends.
void runHeadPipeline(PageState& st, const QString& pageText, RuleTable& ruleTable,
                     const RuleValues& rules, PaneOutput& out,
                     const std::function<void(PageStep)>& after = {});

} // namespace engine
