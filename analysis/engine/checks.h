#pragma once

#include "pagestate.h"
#include "rulebase.h"

namespace engine {

// Heading lines of the three panes.
extern const QString kPassedHeading;
extern const QString kFailedHeading;
extern const QString kKeywordHeading;

// The batch run writes the same checks with a few differences.
struct CheckOptions {
    bool batch = false;
};

// PICS labels searched for in the page: the label's opening followed by the rating service's home
// address as the service's own labels write it.
struct PicsLabel {
    QString pattern;
    QString missingText;
};
const PicsLabel& safeSurfLabel();
const PicsLabel& rsacLabel();
const PicsLabel& weburbiaLabel();

// The policy check of page `address` on the whole page: the no-meta test, the PICS tests, the
// rule rows and the verdict, with the page's pending head-problem lines. A page that could not be
// read gets an error line and its verdict. Answers whether the page got a failure entry. A length
// rule that is not a whole number raises EConvertError.
bool policyCheck(PageState& st, const PageText& page, const QString& address,
                 const RuleValues& rules, const RuleTable& ruleTable, PaneOutput& out,
                 const CheckOptions& options = {});

// The keyword checks of the page's keywords content: repetition, description and body density.
// A body check count that is not a whole number raises EConvertError.
void keywordChecks(const PageState& st, const PageText& page, const QString& address,
                   const RuleValues& rules, PaneOutput& out, const CheckOptions& options = {});

// The body region of a page, prepared for the count: from 5 characters after the first "<body"
// up to the first "</body>" or the count, with "=" made a blank and a blank put after every ">"
// and before every "<".
struct BodyRegion {
    bool found = false;
    QString text; // the region after preparation
    // The page's word goes on past the region's end, so a match ending there is no whole word.
    bool wordCutAtEnd = false;
};
BodyRegion prepareBodyRegion(const QString& pageText, int bodyCheckCount);

// Whole-word, case-insensitive occurrences of a keyword in a region; each search resumes one
// character after the start of the previous match. Letters, digits and '_' make words; every other
// character (white space, punctuation, symbols) is a boundary. With wordCutAtEnd the region's end
// is no boundary.
int countWholeWord(const QString& region, const QString& keyword, bool wordCutAtEnd = false);

} // namespace engine
