#pragma once

#include "checks.h"
#include "pagestate.h"
#include "rulebase.h"

#include <functional>

namespace engine {

// A page of a run, from its file to its pane lines: the rule table's values emptied, the working
// copy loaded, the head pipeline, the policy check and the keyword checks. A failure to load or
// an error of the pipeline goes to onError (with cannotOpen for a file that cannot be read) and
// the page's checks go on. Answers whether the page got a failure entry. A rule value that is
// not a number raises EConvertError.
bool checkPage(PageState& st, RuleTable& grid1, const RuleValues& rules, const QString& address,
               const QString& file, PaneOutput& out, const CheckOptions& options,
               const std::function<void()>& between,
               const std::function<void(const QString& message, bool cannotOpen)>& onError);

// The summary lines a run writes under the failed and the passed pane.
void addSummary(PaneOutput& out, int failedPages, int pages);

} // namespace engine
