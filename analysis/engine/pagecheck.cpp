#include "pagecheck.h"

#include "headpipeline.h"
#include "pagefile.h"

#include "platform/errors.h"

namespace engine {

bool checkPage(PageState& st, RuleTable& ruleTable, const RuleValues& rules, const QString& address,
               const QString& file, PaneOutput& out, const CheckOptions& options,
               const PageHooks& hooks) {
    auto done = [&](PageStep step) {
        if (hooks.after)
            hooks.after(step);
    };
    st.resetPage();
    // No page is ever checked against the tag values of the page before.
    for (int r = 1; r < ruleTable.rowCount(); ++r)
        ruleTable.setCell(1, r, QString());

    PageText page;
    try {
        page.text = hooks.bytes ? decodePageBytes(*hooks.bytes, file) : readPageFile(file);
        page.read = true;
    } catch (const platform::EFOpenError& e) {
        if (hooks.loadErrorEnds || !hooks.onError)
            throw;
        page.readError = e.message();
        hooks.onError(e.message(), true);
    }
    done(PageStep::Loaded);
    if (page.read) {
        try {
            runHeadPipeline(st, page.text, ruleTable, rules, out, hooks.after);
        } catch (const platform::EFOpenError& e) {
            if (!hooks.onError)
                throw;
            hooks.onError(e.message(), true);
        } catch (const platform::Error& e) {
            if (!hooks.onError)
                throw;
            hooks.onError(e.message(), false);
        }
    }
    const bool failedEntry = policyCheck(st, page, address, rules, ruleTable, out, options);
    done(PageStep::PolicyChecked);
    keywordChecks(st, page, address, rules, out, options);
    done(PageStep::KeywordsChecked);
    if (hooks.keepText)
        *hooks.keepText = std::move(page);
    return failedEntry;
}

void addSummary(PaneOutput& out, int failedPages, int pages) {
    const QString summary = QStringLiteral("------------ SUMMARY ------------");
    out.failed << QString() << summary
               << QString::number(failedPages) + QStringLiteral(" of ") + QString::number(pages) +
                      QStringLiteral(" failed verification.");
    out.passed << QString() << summary
               << QString::number(pages - failedPages) + QStringLiteral(" of ") +
                      QString::number(pages) + QStringLiteral(" passed verification.");
}

} // namespace engine
