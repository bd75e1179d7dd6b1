#pragma once

#include "pagestate.h"
#include "rulebase.h"

#include "platform/errors.h"

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
void extractHeadSection(PageState& st);
void SetCRLFLineBreaks(PageState& st);
void SetUpMetaLines(PageState& st, PaneOutput& out);
struct HeadBlock {
    qsizetype hs = 0;
    qsizetype he = -1; // -1: no end-head tag
};
HeadBlock SetUpHeadBlock(PageState& st);
qsizetype FormatTitleLine(PageState& st, qsizetype hs, qsizetype he, PaneOutput& out);
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

// Meta tags.
class EInvalidMetaTag : public platform::Error {
public:
    EInvalidMetaTag() : platform::Error(QStringLiteral("not valid meta tag")) {}
};
struct MetaTag {
    QString name;
    QString content;
};
MetaTag ParseMetaTag(const QString& line, bool unquote);
void BuildTagList(QStringList& list, int mode, const RuleTable& grid1, const RuleValues& rules);
void ReadTags(PageState& st, int mode, QStringList& list, RuleTable& grid1);

// The head pipeline in its order; between runs between its steps (the window processes its
// pending events there).
void runHeadPipeline(PageState& st, RuleTable& grid1, const RuleValues& rules, PaneOutput& out,
                     const std::function<void()>& between = {});

// The working file into the working copy; raises EFOpenError.
void loadWorkingCopy(PageState& st, const QString& workingFile);
// The largest page the checks read.
constexpr qint64 kMaxPageBytes = qint64(64) << 20;
// The working file's text, read anew each time; raises EFOpenError (also for a page larger than
// kMaxPageBytes).
QString readWorkingFile(PageState& st, const QString& workingFile);

} // namespace engine
