#include "pagecheck.h"

#include "headpipeline.h"

namespace engine {

bool checkPage(PageState& st, RuleTable& grid1, const RuleValues& rules, const QString& address,
               const QString& file, PaneOutput& out, const CheckOptions& options,
               const std::function<void()>& between,
               const std::function<void(const QString& message, bool cannotOpen)>& onError) {
    st.resetPage();
    // No page is ever checked against the tag values of the page before.
    for (int r = 1; r < grid1.rowCount(); ++r)
        grid1.setCell(1, r, QString());
    try {
        loadWorkingCopy(st, file);
        runHeadPipeline(st, grid1, rules, out, between);
    } catch (const platform::EFOpenError& e) {
        onError(e.message(), true);
    } catch (const platform::Error& e) {
        onError(e.message(), false);
    }
    const bool failed = policyCheck(st, address, file, rules, grid1, out, options);
    keywordChecks(st, address, file, rules, out, options);
    return failed;
}

void addSummary(PaneOutput& out, int failedPages, int pages) {
    const QString summary = QStringLiteral("------------ SUMMARY ------------");
    out.failed << QString() << summary
               << QString::number(failedPages) + QStringLiteral(" of ") + QString::number(pages) +
                      QStringLiteral(" failed verification.");
    out.passed << QString() << summary
               << QString::number(pages - failedPages) + QStringLiteral(" of ") + QString::number(pages) +
                      QStringLiteral(" passed verification.");
}

} // namespace engine
