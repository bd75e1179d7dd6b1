#pragma once

#include "checks.h"
#include "pagestate.h"
#include "rulebase.h"

#include <functional>

namespace engine {

// What a caller of checkPage sees of a page's check while it runs.
struct PageHooks {
    // Told each step as it ends: a window lets itself paint there and shows the panes' lines.
    std::function<void(PageStep step)> after;
    // A page file that cannot be read (cannotOpen) or an error of the head pipeline; the page's
    // checks go on. Without it, such an error ends the check.
    std::function<void(const QString& message, bool cannotOpen)> onError;
    // A page file that cannot be read ends the check with its EFOpenError, as in the window's
    // single check; only the head pipeline's errors go to onError then.
    bool loadErrorEnds = false;
    // Given the page's text when the check ends, for a caller that reports where things stand.
    PageText* keepText = nullptr;
    // The page's bytes, read already: the file is not opened and names the page in errors.
    const QByteArray* bytes = nullptr;
};

// A page's check, from its file to its pane lines: the rule table's values emptied, the page file
// read once, the head pipeline on its text, the policy check and the keyword checks. Answers
// whether the page got a failure entry. A rule value that is not a number raises EConvertError.
bool checkPage(PageState& st, RuleTable& ruleTable, const RuleValues& rules, const QString& address,
               const QString& file, PaneOutput& out, const CheckOptions& options,
               const PageHooks& hooks);

// The summary lines a run writes under the failed and the passed pane.
void addSummary(PaneOutput& out, int failedPages, int pages);

} // namespace engine
