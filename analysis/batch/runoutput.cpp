#include "runoutput.h"

#include "batchrun.h"

#include "pagefacts.h"

#include "analysis/engine/pagecheck.h"
#include "analysis/engine/report.h"
#include "platform/errors.h"
#include "platform/textcodec.h"
#include "platform/textfile.h"

#include <QDateTime>
#include <QFile>
#include <QSysInfo>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace batch {

namespace {

const QByteArray kUtf8Mark = QByteArrayLiteral("\xEF\xBB\xBF");

QString errnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Stands in for a pane in the report's body, to find where and how the body writes pane lines.
// Nothing in it is changed when it is made safe for HTML.
const QString kPaneMarks[3] = {QStringLiteral("QuillmarkPassedPaneMark"),
                               QStringLiteral("QuillmarkFailedPaneMark"),
                               QStringLiteral("QuillmarkKeywordPaneMark")};

QStringList reportBodyWithMarks(const QString& bodychk) {
    return engine::reportBody({kPaneMarks[1]}, {kPaneMarks[0]}, {kPaneMarks[2]}, bodychk);
}

const QStringList& paneOf(const engine::PaneOutput& out, int pane) {
    return pane == 0 ? out.passed : pane == 1 ? out.failed : out.keyword;
}

qint64 steadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// JUnit's seconds, to the millisecond.
QString junitSeconds(double seconds) {
    return QString::number(seconds, 'f', 3);
}

} // namespace

QString oneLine(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return text.trimmed();
}

Spool::~Spool() {
    if (m_fd >= 0)
        ::close(m_fd);
}

Spool::Spool(Spool&& other) noexcept
    : m_limit(other.m_limit), m_buffer(std::move(other.m_buffer)), m_name(std::move(other.m_name)),
      m_fd(std::exchange(other.m_fd, -1)), m_fileSize(std::exchange(other.m_fileSize, 0)) {}

Spool& Spool::operator=(Spool&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_limit = other.m_limit;
        m_buffer = std::move(other.m_buffer);
        m_name = std::move(other.m_name);
        m_fd = std::exchange(other.m_fd, -1);
        m_fileSize = std::exchange(other.m_fileSize, 0);
    }
    return *this;
}

void Spool::append(const QByteArray& bytes) {
    if (m_buffer.capacity() < m_limit)
        m_buffer.reserve(m_limit + bytes.size());
    m_buffer += bytes;
    if (m_buffer.size() >= m_limit)
        spill();
}

void Spool::spill() {
    if (m_fd < 0) {
        // TMPDIR as it is given: a folder that is not there is an error, never another place.
        QByteArray name = qgetenv("TMPDIR");
        if (name.isEmpty())
            name = QByteArrayLiteral("/tmp");
        name += "/quillmark-run-XXXXXX";
        m_fd = ::mkostemp(name.data(), O_CLOEXEC);
        const int error = errno;
        m_name = QFile::decodeName(name);
        if (m_fd < 0)
            throw platform::EFCreateError(m_name, errnoText(error));
        ::unlink(name.constData());
    }
    const char* p = m_buffer.constData();
    qsizetype left = m_buffer.size();
    while (left > 0) {
        const ssize_t n = ::pwrite(m_fd, p, size_t(left), off_t(m_fileSize));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw platform::EFCreateError(m_name, errnoText(errno));
        p += n;
        left -= n;
        m_fileSize += n;
    }
    m_buffer.truncate(0);
}

void Spool::read(const std::function<void(const QByteArray&)>& take) const {
    QByteArray piece;
    for (qint64 at = 0; at < m_fileSize;) {
        piece.resize(qsizetype(qMin<qint64>(qMax<qint64>(m_limit, 1 << 16), m_fileSize - at)));
        const ssize_t n = ::pread(m_fd, piece.data(), size_t(piece.size()), off_t(at));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw platform::EFOpenError(m_name, errnoText(n < 0 ? errno : EIO));
        piece.truncate(n);
        take(piece);
        at += n;
    }
    if (!m_buffer.isEmpty())
        take(m_buffer);
}

RunOutput::RunOutput(Wanted wanted)
    : m_wanted(std::move(wanted)),
      m_headings(paneHeadings()), m_panes{Spool(m_wanted.spoolMemory), Spool(m_wanted.spoolMemory),
                                          Spool(m_wanted.spoolMemory)},
      m_report{Spool(m_wanted.spoolMemory), Spool(m_wanted.spoolMemory),
               Spool(m_wanted.spoolMemory)},
      m_junit(m_wanted.spoolMemory), m_messages(m_wanted.spoolMemory), m_json(m_wanted.spoolMemory),
      m_sarif(m_wanted.spoolMemory) {
    if (m_wanted.report) {
        for (const QString& line : reportBodyWithMarks(QString())) {
            const qsizetype at = line.indexOf(kPaneMarks[0]);
            if (at < 0)
                continue;
            m_reportLineStart = line.left(at);
            m_reportLineEnd = line.mid(at + kPaneMarks[0].size());
        }
    }
    if (m_wanted.junit && m_wanted.junitTimes) {
        m_hostname = QSysInfo::machineHostName();
        if (m_hostname.isEmpty())
            m_hostname = QStringLiteral("localhost");
        // Local time without a zone, as JUnit's schema has its timestamp.
        m_timestamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
        m_startedNs = steadyNs();
    }
    if (m_wanted.junit) {
        m_junitBuffer.open(QIODevice::WriteOnly);
        m_junitXml = std::make_unique<QXmlStreamWriter>(&m_junitBuffer);
        m_junitXml->setAutoFormatting(true);
        // The opening up to the suite's attributes, which are known at the end only.
        m_junitXml->writeStartDocument();
        m_junitXml->writeStartElement(QStringLiteral("testsuites"));
        m_junitXml->writeStartElement(QStringLiteral("testsuite"));
        m_junitBuffer.buffer().clear();
        m_junitBuffer.seek(0);
    }
}

RunOutput::~RunOutput() = default;

QByteArray RunOutput::reportLines(const QStringList& lines) const {
    QStringList written;
    written.reserve(lines.size());
    for (const QString& line : lines) {
        // Appended into a string of its own: threads that copy the shared parts would fight over
        // their reference counts.
        QString w;
        w.reserve(m_reportLineStart.size() + line.size() + m_reportLineEnd.size() + 8);
        w += m_reportLineStart;
        w += engine::escapeHtml(line);
        w += m_reportLineEnd;
        written.append(std::move(w));
    }
    return platform::encodeWindows1252Ncr(platform::joinLines(written));
}

QByteArray RunOutput::paneBytes(const QStringList& lines) const {
    const QString text = platform::joinLines(lines);
    return m_utf8 ? text.toUtf8() : platform::encodeWindows1252(text);
}

RunOutput::Page RunOutput::prepare(QString address, PageResult result) const {
    Page page;
    page.address = std::move(address);
    QString texts[3];
    for (int p = 0; p < 3; ++p) {
        texts[p] = platform::joinLines(paneOf(result.out, p));
        page.fits = page.fits && platform::fitsWindows1252(texts[p]);
    }
    for (int p = 0; p < 3; ++p)
        page.panes[p] = page.fits ? platform::encodeWindows1252(texts[p]) : texts[p].toUtf8();
    if (m_wanted.report)
        for (int p = 0; p < 3; ++p)
            page.report[p] = reportLines(paneOf(result.out, p));
    if (result.facts) {
        if (m_wanted.json)
            page.json = pageJson(page.address, *result.facts);
        if (m_wanted.sarif)
            page.sarif = pageSarifResults(page.address, *result.facts);
    }
    page.result = std::move(result);
    return page;
}

void RunOutput::switchToUtf8() {
    // Once a line does not fit Windows-1252 the whole file is UTF-8: what is spooled so far fits,
    // and is written again in UTF-8.
    for (Spool& spool : m_panes) {
        Spool utf8(m_wanted.spoolMemory);
        spool.read([&](const QByteArray& piece) {
            utf8.append(platform::decodeWindows1252(piece).toUtf8());
        });
        spool = std::move(utf8);
    }
    m_utf8 = true;
}

void RunOutput::add(Page page) {
    const PageResult& r = page.result;
    ++m_pages;
    m_failedPages += r.failed ? 1 : 0;
    m_errorPages += r.unreadable && !r.failed ? 1 : 0;
    m_unreadable = m_unreadable || r.unreadable;
    for (const QString& m : r.messages)
        addMessage(m);
    if (!page.fits && !m_utf8)
        switchToUtf8();
    for (int p = 0; p < 3; ++p) {
        if (m_utf8 && page.fits)
            m_panes[p].append(platform::decodeWindows1252(page.panes[p]).toUtf8());
        else
            m_panes[p].append(page.panes[p]);
        if (m_wanted.report)
            m_report[p].append(page.report[p]);
    }
    if (m_wanted.junit)
        addJUnitCase(page);
    if (m_wanted.json)
        m_json.append((m_pages > 1 ? QByteArrayLiteral(",\n") : QByteArrayLiteral("\n")) +
                      page.json);
    if (m_wanted.sarif && !page.sarif.isEmpty()) {
        m_sarif.append((m_anySarif ? QByteArrayLiteral(",\n") : QByteArrayLiteral("\n")) +
                       page.sarif);
        m_anySarif = true;
    }
}

void RunOutput::addUnlistedPage(const webhost::UnlistedName& u) {
    const QString shown = u.folder.isEmpty() ? u.name : u.folder + QLatin1Char('/') + u.name;
    PageResult r;
    r.failed = true;
    r.out.failed = cannotCheckEntry(shown, u.reason);
    if (wantsFacts())
        r.facts = unlistedFacts(u.reason, r.out.failed);
    add(prepare(shown, std::move(r)));
}

void RunOutput::addMessage(const QString& message) {
    const QByteArray bytes = message.toUtf8();
    const quint32 size = quint32(bytes.size());
    m_messages.append(QByteArray(reinterpret_cast<const char*>(&size), sizeof size) + bytes);
}

void RunOutput::readMessages(const std::function<void(const QString&)>& take) const {
    QByteArray held;
    m_messages.read([&](const QByteArray& piece) {
        held += piece;
        qsizetype at = 0;
        quint32 size = 0;
        while (held.size() - at >= qsizetype(sizeof size)) {
            std::memcpy(&size, held.constData() + at, sizeof size);
            if (held.size() - at - qsizetype(sizeof size) < qsizetype(size))
                break;
            take(QString::fromUtf8(held.constData() + at + sizeof size, qsizetype(size)));
            at += qsizetype(sizeof size) + qsizetype(size);
        }
        held.remove(0, at);
    });
}

void RunOutput::addJUnitCase(const Page& page) {
    QXmlStreamWriter& xml = *m_junitXml;
    const PageResult& r = page.result;
    const QString& suite = m_wanted.junitSuite;
    const QString& address = page.address;
    const qsizetype slash = address.lastIndexOf(QLatin1Char('/'));
    xml.writeStartElement(QStringLiteral("testcase"));
    xml.writeAttribute(QStringLiteral("classname"),
                       slash < 0 ? suite : suite + QLatin1Char('/') + address.left(slash));
    xml.writeAttribute(QStringLiteral("name"), address);
    if (m_wanted.junitTimes)
        xml.writeAttribute(QStringLiteral("time"), junitSeconds(r.seconds));
    if (r.failed) {
        const QString entry = failureEntry(r.out.failed).join(QLatin1Char('\n'));
        xml.writeStartElement(QStringLiteral("failure"));
        xml.writeAttribute(QStringLiteral("message"), entry);
        xml.writeAttribute(QStringLiteral("type"), QStringLiteral("failed verification"));
        xml.writeCharacters(entry);
        xml.writeEndElement();
    } else if (r.unreadable) {
        xml.writeStartElement(QStringLiteral("error"));
        xml.writeAttribute(QStringLiteral("message"), oneLine(r.messages.join(QLatin1Char(' '))));
        xml.writeEndElement();
    }
    xml.writeEndElement();
    m_junit.append(m_junitBuffer.data());
    // Emptied but kept: the pages come from several threads, and each would free another's.
    m_junitBuffer.buffer().truncate(0);
    m_junitBuffer.seek(0);
}

void RunOutput::finish(bool withSummary) {
    if (withSummary)
        engine::addSummary(m_summary, m_failedPages, m_pages);
    if (m_wanted.junitTimes)
        m_seconds = double(steadyNs() - m_startedNs) / 1e9;
    if (m_wanted.junit) {
        m_junitXml->writeEndElement();
        m_junitXml->writeEndElement();
        m_junitXml->writeEndDocument();
        m_junit.append(m_junitBuffer.data());
        m_junitXml.reset();
        m_junitBuffer.close();
    }
}

void RunOutput::writeResults(const platform::ByteWriter& write) const {
    if (m_utf8)
        write(kUtf8Mark);
    readPanes([&](int, Part, const QByteArray& bytes) { write(bytes); });
}

void RunOutput::readPanes(
    const std::function<void(int pane, Part part, const QByteArray& bytes)>& take) const {
    for (int p = 0; p < 3; ++p) {
        take(p, Part::Heading, paneBytes(paneOf(m_headings, p)));
        m_panes[p].read([&](const QByteArray& piece) { take(p, Part::Pages, piece); });
        take(p, Part::Summary, paneBytes(paneOf(m_summary, p)));
    }
}

void RunOutput::writeReport(const QStringList& head, const QString& bodychk,
                            const platform::ByteWriter& write) const {
    QStringList lines = head;
    for (const QString& line : reportBodyWithMarks(bodychk)) {
        int pane = -1;
        for (int p = 0; p < 3 && pane < 0; ++p)
            if (line == m_reportLineStart + kPaneMarks[p] + m_reportLineEnd)
                pane = p;
        if (pane < 0) {
            lines.append(line);
            continue;
        }
        write(platform::encodeWindows1252Ncr(platform::joinLines(lines)));
        lines.clear();
        write(reportLines(paneOf(m_headings, pane)));
        m_report[pane].read(write);
        write(reportLines(paneOf(m_summary, pane)));
    }
    write(platform::encodeWindows1252Ncr(platform::joinLines(lines)));
}

void RunOutput::writeJUnit(const platform::ByteWriter& write) const {
    QByteArray opening;
    QXmlStreamWriter xml(&opening);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("testsuites"));
    xml.writeAttribute(QStringLiteral("name"), QStringLiteral("quillmark-check"));
    xml.writeAttribute(QStringLiteral("tests"), QString::number(m_pages));
    xml.writeAttribute(QStringLiteral("failures"), QString::number(m_failedPages));
    if (m_wanted.junitTimes)
        xml.writeAttribute(QStringLiteral("time"), junitSeconds(m_seconds));
    xml.writeStartElement(QStringLiteral("testsuite"));
    xml.writeAttribute(QStringLiteral("name"), m_wanted.junitSuite);
    xml.writeAttribute(QStringLiteral("tests"), QString::number(m_pages));
    xml.writeAttribute(QStringLiteral("failures"), QString::number(m_failedPages));
    xml.writeAttribute(QStringLiteral("errors"), QString::number(m_errorPages));
    if (m_wanted.junitTimes) {
        xml.writeAttribute(QStringLiteral("time"), junitSeconds(m_seconds));
        xml.writeAttribute(QStringLiteral("timestamp"), m_timestamp);
        xml.writeAttribute(QStringLiteral("hostname"), m_hostname);
    }
    // The suite's opening is left open: the spooled cases go on from there.
    write(opening);
    m_junit.read(write);
}

void RunOutput::writeJson(const QByteArray& opening, const platform::ByteWriter& write) const {
    write(opening);
    m_json.read(write);
    write(QByteArrayLiteral("\n],\"summary\":{\"pages\":") + QByteArray::number(m_pages) +
          QByteArrayLiteral(",\"failed\":") + QByteArray::number(m_failedPages) +
          QByteArrayLiteral("}}\n"));
}

void RunOutput::writeSarif(const QByteArray& opening, bool executionSuccessful,
                           const platform::ByteWriter& write) const {
    write(opening);
    m_sarif.read(write);
    write(QByteArrayLiteral("\n],\"invocations\":[{\"executionSuccessful\":") +
          (executionSuccessful ? QByteArrayLiteral("true") : QByteArrayLiteral("false")) +
          QByteArrayLiteral("}]}]}\n"));
}

} // namespace batch
