#include "batchrun.h"

#include "runoutput.h"

#include "analysis/engine/pagecheck.h"
#include "analysis/rules/rulevalues.h"
#include "platform/errors.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace batch {

namespace {

// A copy that shares no string data: threads that copy shared strings fight over their reference
// counts.
QString own(const QString& s) {
    return QString(s.constData(), s.size());
}

engine::RuleValues ownValues(const engine::RuleValues& v) {
    engine::RuleValues copy;
    for (const rulevalues::Rule& rule : rulevalues::kRules)
        copy.*rule.member = own(v.*rule.member);
    return copy;
}

engine::RuleTable ownTable(const engine::RuleTable& grid) {
    QStringList names;
    for (const QString& name : grid.names())
        names.append(own(name));
    engine::RuleTable copy;
    copy.setNames(names);
    return copy;
}

// The one place a run hands a page to the page check.
bool checkPage(engine::PageState& st, engine::RuleTable& table, const engine::RuleValues& rules,
               const engine::CheckOptions& options, const QString& address, const QString& file,
               engine::PaneOutput& out, const std::function<void()>& between,
               const std::function<void(const QString& message, bool cannotOpen)>& onError,
               engine::PageText* keepText = nullptr, const QByteArray* bytes = nullptr) {
    engine::PageHooks hooks;
    hooks.keepText = keepText;
    hooks.bytes = bytes;
    // Only a run that lets a window paint needs to hear of the steps.
    if (between)
        hooks.after = [&between](engine::PageStep step) {
            if (engine::isBetweenHeadSteps(step))
                between();
        };
    hooks.onError = onError;
    return engine::checkPage(st, table, rules, address, file, out, options, hooks);
}

} // namespace

engine::PaneOutput paneHeadings() {
    engine::PaneOutput heads;
    heads.passed = {engine::kPassedHeading};
    heads.failed = {engine::kFailedHeading, QString()};
    heads.keyword = {engine::kKeywordHeading};
    return heads;
}

QStringList cannotCheckEntry(const QString& address, const QString& reason) {
    return {QStringLiteral("File = ") + address,
            QStringLiteral("    The page cannot be checked: ") + reason, QString()};
}

BatchRun::BatchRun(QStringList pages, const engine::RuleValues& rules,
                   const engine::RuleTable& table, bool batch)
    : m_pages(std::move(pages)), m_rules(rules), m_table(table), m_options{batch} {}

bool BatchRun::runHere(engine::PageState& st, engine::RuleTable& table, PageSteps& steps,
                       engine::PaneOutput& out) {
    const std::function<void()> between = [&steps] { steps.between(); };
    for (int i = 0; i < int(m_pages.size()); ++i) {
        const QString& address = m_pages.at(i);
        QString file;
        QString failure;
        if (!steps.fetch(i, address, file, failure))
            return false;
        if (!failure.isEmpty()) {
            out.failed += cannotCheckEntry(address, failure);
            ++m_failedPages;
        } else if (checkPage(st, table, m_rules, m_options, address, file, out, between,
                             [&](const QString& message, bool cannotOpen) {
                                 steps.pageError(address, message, cannotOpen);
                             }))
            ++m_failedPages;
        steps.pageDone(i, address);
    }
    return true;
}

namespace {

// The pages of a run on several threads. Pages are claimed in order, and every page claimed
// before the run ends is finished, so every page before the first one that ends the run is
// checked whatever the number of jobs. Finished pages wait in a window of slots until the pages
// before them are out; whoever finishes the next page in order hands the ready ones to the output.
// A page is claimed only when its slot is free, so the pages waiting are never more than the
// window.
class JobsRun {
public:
    JobsRun(const QStringList& pages, const std::function<QString(int)>& fileOf,
            const std::function<QString(int)>& failureOf,
            const std::function<QByteArray(int)>& bytesOf, const engine::RuleValues& rules,
            const engine::RuleTable& table, const engine::CheckOptions& options, RunOutput& output,
            int jobs)
        : m_pages(pages), m_fileOf(fileOf), m_failureOf(failureOf), m_bytesOf(bytesOf),
          m_rules(rules), m_table(table), m_options(options), m_output(output),
          m_jobs(std::max(1, std::min(jobs, int(pages.size())))),
          m_slots(size_t(std::max(64, 16 * m_jobs))) {}

    void execute(const std::function<void(int)>& progress) {
        std::vector<std::thread> workers;
        workers.reserve(size_t(m_jobs));
        for (int j = 0; j < m_jobs; ++j)
            workers.emplace_back([this] { work(); });
        {
            std::unique_lock lock(m_mutex);
            while (!m_workersDone.wait_for(lock, std::chrono::milliseconds(100),
                                           [this] { return m_finishedWorkers == m_jobs; })) {
                lock.unlock();
                progress(m_checked.load());
                lock.lock();
            }
        }
        for (std::thread& t : workers)
            t.join();
        if (m_outputError)
            std::rethrow_exception(m_outputError);
    }

    int failedPages() const { return m_failedPages; }
    const std::optional<QString>& fatalMessage() const { return m_fatalMessage; }

private:
    struct Slot {
        std::optional<RunOutput::Page> page;
    };

    void work() {
        engine::PageState st;
        engine::RuleTable table = ownTable(m_table);
        const engine::RuleValues rules = ownValues(m_rules);
        const std::function<void()> between; // no window to let paint
        const bool facts = m_output.wantsFacts();
        engine::PageText text;
        // A page's memory is freed by the thread that made it once the output has it: a thread
        // that frees another's memory holds that thread's allocator up.
        std::vector<std::pair<int, RunOutput::Page>> held;
        for (;;) {
            const int handedOut = m_handedOutCount.load();
            std::erase_if(held, [&](const auto& p) { return p.first < handedOut; });
            if (m_stop.load())
                break;
            const int i = m_next.fetch_add(1);
            if (i >= int(m_pages.size()))
                break;
            if (!waitForSlot(i))
                continue; // the run ended before this page
            const QString& address = m_pages.at(i);
            PageResult r;
            const auto started = std::chrono::steady_clock::now();
            const QString failure = m_failureOf ? m_failureOf(i) : QString();
            if (!failure.isEmpty()) {
                r.failed = true;
                r.out.failed = cannotCheckEntry(address, failure);
                if (facts)
                    r.facts = unfetchedFacts(failure, r.out.failed);
            } else {
                try {
                    const QByteArray bytes = m_bytesOf ? m_bytesOf(i) : QByteArray();
                    r.failed = checkPage(
                        st, table, rules, m_options, address, m_fileOf(i), r.out, between,
                        [&](const QString& message, bool cannotOpen) {
                            r.unreadable = r.unreadable || cannotOpen;
                            r.messages.append(address + QStringLiteral(": ") + message);
                        },
                        facts ? &text : nullptr, m_bytesOf ? &bytes : nullptr);
                    if (facts)
                        r.facts = pageFacts(st, table, text, address, r.out, r.failed, r.unreadable,
                                            r.messages);
                } catch (const platform::EConvertError& e) {
                    // A rule value, not this page, ends the run.
                    r.fatal = true;
                    r.fatalMessage = e.message();
                    m_stop.store(true);
                } catch (const platform::Error& e) {
                    r.fatal = true;
                    r.fatalMessage = address + QStringLiteral(": ") + e.message();
                    m_stop.store(true);
                }
            }
            r.seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            RunOutput::Page page = m_output.prepare(address, std::move(r));
            m_checked.fetch_add(1);
            held.emplace_back(i, page);
            finished(i, std::move(page));
        }
        std::lock_guard lock(m_mutex);
        ++m_finishedWorkers;
        m_workersDone.notify_all();
    }

    // False when the run ended at an earlier page while this one waited for its slot.
    bool waitForSlot(int i) {
        std::unique_lock lock(m_mutex);
        m_slotFreed.wait(lock, [&] { return m_ended || i < m_handedOut + int(m_slots.size()); });
        return !m_ended;
    }

    void finished(int i, RunOutput::Page page) {
        std::unique_lock lock(m_mutex);
        if (m_ended)
            return;
        m_slots[size_t(i) % m_slots.size()].page = std::move(page);
        if (i != m_handedOut || m_handing)
            return; // the one handing out pages takes it
        m_handing = true;
        for (;;) {
            Slot& slot = m_slots[size_t(m_handedOut) % m_slots.size()];
            if (!slot.page)
                break;
            RunOutput::Page ready = std::move(*slot.page);
            slot.page.reset();
            if (ready.result.fatal) {
                m_fatalMessage = ready.result.fatalMessage;
                end();
                break;
            }
            lock.unlock();
            const bool failed = ready.result.failed;
            std::exception_ptr error;
            try {
                m_output.add(std::move(ready));
            } catch (...) {
                error = std::current_exception();
            }
            lock.lock();
            if (error) {
                m_outputError = error;
                end();
                break;
            }
            m_failedPages += failed ? 1 : 0;
            m_handedOutCount.store(++m_handedOut);
            m_slotFreed.notify_all();
        }
        m_handing = false;
    }

    // Called with the mutex held.
    void end() {
        m_ended = true;
        m_stop.store(true);
        m_slotFreed.notify_all();
    }

    const QStringList& m_pages;
    const std::function<QString(int)>& m_fileOf;
    const std::function<QString(int)>& m_failureOf;
    const std::function<QByteArray(int)>& m_bytesOf;
    const engine::RuleValues& m_rules;
    const engine::RuleTable& m_table;
    const engine::CheckOptions m_options;
    RunOutput& m_output;
    const int m_jobs;

    std::atomic<int> m_next{0};
    std::atomic<int> m_checked{0};
    std::atomic<bool> m_stop{false};

    std::mutex m_mutex;
    std::condition_variable m_slotFreed;
    std::condition_variable m_workersDone;
    std::vector<Slot> m_slots;
    int m_handedOut = 0;                  // pages given to the output
    std::atomic<int> m_handedOutCount{0}; // the same, read without the lock
    bool m_handing = false;
    bool m_ended = false;
    int m_finishedWorkers = 0;
    int m_failedPages = 0;
    std::optional<QString> m_fatalMessage;
    std::exception_ptr m_outputError;
};

} // namespace

std::optional<QString> BatchRun::runOnJobs(const std::function<QString(int)>& fileOf, int jobs,
                                           RunOutput& output,
                                           const std::function<void(int)>& progress,
                                           const std::function<QString(int)>& failureOf,
                                           const std::function<QByteArray(int)>& bytesOf) {
    if (m_pages.isEmpty())
        return std::nullopt;
    JobsRun run(m_pages, fileOf, failureOf, bytesOf, m_rules, m_table, m_options, output, jobs);
    run.execute(progress);
    m_failedPages += run.failedPages();
    return run.fatalMessage();
}

void BatchRun::addSummary(engine::PaneOutput& out) const {
    engine::addSummary(out, m_failedPages, int(m_pages.size()));
}

} // namespace batch
