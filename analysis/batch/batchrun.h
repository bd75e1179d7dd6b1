#pragma once

// The batch run itself, without windows: the chosen pages one after another through the page
// check, their pane lines after the panes' headings and before the run's summary. The window
// runs it page by page in its own thread with a hook per page; the command-line checker runs it
// on several threads into a RunOutput.

#include "analysis/engine/checks.h"
#include "analysis/engine/pagestate.h"
#include "analysis/engine/rulebase.h"
#include "pagefacts.h"

#include <QStringList>

#include <functional>
#include <optional>

namespace batch {

class RunOutput;

// The lines every check and run starts its three panes with.
engine::PaneOutput paneHeadings();

// The failed pane's entry of a page that could not be checked: "File = address", then why.
QStringList cannotCheckEntry(const QString& address, const QString& reason);

// A page's outcome in a run.
struct PageResult {
    engine::PaneOutput out;
    bool failed = false;     // the page got a failure entry
    bool unreadable = false; // its file could not be opened
    QStringList messages;    // "address: message" for each error of its checks
    // A rule value, or an error the check cannot go past, ends the run at this page.
    bool fatal = false;
    QString fatalMessage;
    // Only for an output that reports them (JSON, SARIF).
    std::optional<PageFacts> facts;
    double seconds = 0; // the page's check, on the job that ran it
};

// What the window does around each page of a run in its own thread.
class PageSteps {
public:
    virtual ~PageSteps() = default;
    // Puts the page's file in place and names it; false ends the run before this page. A page
    // the host cannot give sets failure to why: it becomes a failed page and the run goes on.
    virtual bool fetch(int index, const QString& address, QString& file, QString& failure) = 0;
    // Between the steps of a page: the window answers and repaints.
    virtual void between() = 0;
    // An error of the page's checks that lets the run go on (cannotOpen: the file cannot be read).
    virtual void pageError(const QString& address, const QString& message, bool cannotOpen) = 0;
    // The page is checked; its lines are in the run's pane output.
    virtual void pageDone(int index, const QString& address) = 0;
};

class BatchRun {
public:
    // batch: the checks as a batch writes them (a run of one named page in the checker is none).
    BatchRun(QStringList pages, const engine::RuleValues& rules, const engine::RuleTable& table,
             bool batch = true);

    const QStringList& pages() const { return m_pages; }
    int failedPages() const { return m_failedPages; }

    // In the calling thread, with the caller's page state and rule table, which keep the last
    // page's values as a single check does. The page's lines go to out; an exception of a check
    // leaves the run at once. Answers false when a fetch ended the run.
    bool runHere(engine::PageState& st, engine::RuleTable& table, PageSteps& steps,
                 engine::PaneOutput& out);

    // On `jobs` threads, each with a page state and rules of its own, reading page i from
    // fileOf(i) (called on those threads). Each page's result goes to output in page order; the run
    // ends at the first page in that order whose result is fatal, the same page for any number of
    // jobs, and answers its message. progress gets the count of checked pages about every 100 ms,
    // on the calling thread. An error of the output is raised here. A page for which failureOf
    // (when given) answers a reason is not read: it is a failed page that says why. With bytesOf
    // the page's bytes come from there and fileOf only names the page in errors.
    std::optional<QString> runOnJobs(const std::function<QString(int index)>& fileOf, int jobs,
                                     RunOutput& output,
                                     const std::function<void(int checked)>& progress,
                                     const std::function<QString(int index)>& failureOf = {},
                                     const std::function<QByteArray(int index)>& bytesOf = {});

    // The summary lines after the last page.
    void addSummary(engine::PaneOutput& out) const;

private:
    const QStringList m_pages;
    const engine::RuleValues& m_rules;
    const engine::RuleTable& m_table;
    const engine::CheckOptions m_options;
    int m_failedPages = 0;
};

} // namespace batch
