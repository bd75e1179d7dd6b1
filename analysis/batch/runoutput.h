#pragma once

// What a batch run without windows writes: the three panes as a results file holds them, the HTML
// report and a JUnit case per page. Pages come in page order and their share of each output goes
// to a spool as they come, so that the memory of a run does not grow with the web; the outputs
// are written from the spools at the end, as often as they are wanted.

#include "batchrun.h"

#include "platform/textfile.h"
#include "webhost/host.h"

#include <QBuffer>
#include <QByteArray>
#include <QXmlStreamWriter>

#include <functional>
#include <memory>

namespace batch {

// Bytes appended in order and read back whole: up to a limit in memory, the rest in a temporary
// file whose name is removed at once, so that it goes with the spool however the program ends.
// A failure of the file raises EFCreateError (writing) or EFOpenError (reading).
class Spool {
public:
    static constexpr qsizetype kMemoryLimit = 1 << 20;

    explicit Spool(qsizetype memoryLimit = kMemoryLimit) : m_limit(memoryLimit) {}
    ~Spool();
    Spool(Spool&& other) noexcept;
    Spool& operator=(Spool&& other) noexcept;

    void append(const QByteArray& bytes);
    // Calls take with the bytes in order, in pieces of about the limit.
    void read(const std::function<void(const QByteArray&)>& take) const;

private:
    void spill();

    qsizetype m_limit;
    QByteArray m_buffer;
    QString m_name; // for messages
    int m_fd = -1;
    qint64 m_fileSize = 0;
};

// A message on one line, as standard error and a JUnit attribute take it.
QString oneLine(QString text);

class RunOutput {
public:
    struct Wanted {
        bool report = false;
        bool junit = false;
        QString junitSuite; // the suite's name, and the first part of each class name
        qsizetype spoolMemory = Spool::kMemoryLimit; // of each output, the most held in memory
        bool json = false;                           // the pages' objects of the JSON output
        bool sarif = false;                          // the pages' SARIF results
        // The JUnit file says how long each page and the run took, where and when it ran.
        bool junitTimes = false;
    };
    explicit RunOutput(Wanted wanted);
    ~RunOutput();

    // A page's result with its share of the outputs made ready; made on any thread.
    struct Page {
        QString address;
        PageResult result;
        bool fits = true;    // every pane line fits Windows-1252
        QByteArray panes[3]; // passed, failed, keyword: Windows-1252 when fits, else UTF-8
        QByteArray report[3];
        QByteArray json;  // the page's object
        QByteArray sarif; // its results, joined by commas
    };
    Page prepare(QString address, PageResult result) const;

    // Pages in page order.
    void add(Page page);
    // A page whose name the host could not list counts as a failed page of the run.
    void addUnlistedPage(const webhost::UnlistedName& page);

    // The pages' results are to carry their facts.
    bool wantsFacts() const { return m_wanted.json || m_wanted.sarif; }

    int pages() const { return m_pages; }
    int failedPages() const { return m_failedPages; }
    // A page of the run could not be read.
    bool anyUnreadable() const { return m_unreadable; }
    // Every message of the pages' checks, in page order.
    void readMessages(const std::function<void(const QString&)>& take) const;

    // After the last page: the summary lines of a batch follow the pages.
    void finish(bool withSummary);

    // The results file's bytes, as standard output gets them: Windows-1252 when every line fits,
    // else UTF-8 with a byte-order mark.
    void writeResults(const platform::ByteWriter& write) const;
    // The same bytes without the byte-order mark, each pane's heading, pages and summary in turn.
    enum class Part { Heading, Pages, Summary };
    void
    readPanes(const std::function<void(int pane, Part part, const QByteArray& bytes)>& take) const;
    // The panes are UTF-8, else Windows-1252.
    bool isUtf8() const { return m_utf8; }
    // The HTML report of the run under `head` (engine::reportHead and its kin).
    void writeReport(const QStringList& head, const QString& bodychk,
                     const platform::ByteWriter& write) const;
    // One JUnit test case per page.
    void writeJUnit(const platform::ByteWriter& write) const;
    // The JSON output: `opening` is the run's object up to the open list of pages, which the
    // pages' objects follow, then the summary.
    void writeJson(const QByteArray& opening, const platform::ByteWriter& write) const;
    // The SARIF log: `opening` is the log up to the open list of the run's results.
    void writeSarif(const QByteArray& opening, bool executionSuccessful,
                    const platform::ByteWriter& write) const;

private:
    void switchToUtf8();
    void addMessage(const QString& message);
    void addJUnitCase(const Page& page);
    QByteArray reportLines(const QStringList& lines) const;
    QByteArray paneBytes(const QStringList& lines) const;

    const Wanted m_wanted;
    const engine::PaneOutput m_headings;
    engine::PaneOutput m_summary;
    // How the report writes a pane line: these around the line made safe for HTML.
    QString m_reportLineStart;
    QString m_reportLineEnd;

    Spool m_panes[3];
    Spool m_report[3];
    Spool m_junit;
    Spool m_messages;
    Spool m_json;
    Spool m_sarif;
    bool m_anySarif = false;
    bool m_utf8 = false;
    QBuffer m_junitBuffer;
    std::unique_ptr<QXmlStreamWriter> m_junitXml;
    // Where and when the run started, and how long it took up to finish().
    QString m_hostname;
    QString m_timestamp;
    qint64 m_startedNs = 0;
    double m_seconds = 0;
    int m_pages = 0;
    int m_failedPages = 0;
    int m_errorPages = 0;
    bool m_unreadable = false;
};

} // namespace batch
