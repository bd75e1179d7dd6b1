// A batch check of the whole benchmark web through the real main window, offscreen: "Batch
// Check (All Files)" gathers the pages into the selection dialog, "Select All" and "Check Files"
// start the run (runBatch) with its panes and progress window, and the report offer is answered.
//
//   batch_bench CORPUS_DIR [--report] [--results FILE]
//
// --report answers Yes to the offer, so the report of the whole run is written as well.
// --results writes the panes after the run as "Save Results" writes them, for comparing runs.
#include "analysis/batch/batchprogress.h"
#include "analysis/batch/pageselection.h"
#include "analysis/results/resultpane.h"
#include "analysis/results/resultsfile.h"
#include "analysis/rules/rulestore.h"
#include "analysis/shell/mainwindow.h"
#include "analysis/shell/quillmark.h"
#include "platform/dialogs.h"
#include "platform/help.h"
#include "platform/registrystore.h"
#include "platform/shell.h"
#include "webhost/localweb.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <functional>

#include <sys/resource.h>

namespace {

QElapsedTimer g_clock;

double now() {
    return g_clock.nsecsElapsed() / 1e9;
}

// The boxes of the run: the report offer is answered and its time taken; any other box would
// be a failure of the benchmark and is counted.
class BenchDialogs : public platform::Dialogs {
public:
    bool yes = false;
    double offerAt = -1;
    int others = 0;
    QStringList texts;
    std::function<void()> onOffer;
    Button show(Kind kind, const QString& text, const QList<Button>& buttons) override {
        if (kind == Kind::Confirmation && offerAt < 0) {
            offerAt = now();
            if (onOffer)
                onOffer();
            return yes ? Button::Yes : Button::No;
        }
        ++others;
        texts.append(text);
        return buttons.isEmpty() ? Button::Ok : buttons.last();
    }
};

class NoHelp : public platform::Help {
public:
    void showTopic(const QString&, int) override {}
};

class NoShell : public platform::Shell {
public:
    bool open(const QUrl&) override { return true; }
};

// The longest time the event loop went without running a timer due every millisecond.
class GapMeter : public QObject {
public:
    GapMeter() {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const double t = now();
            if (m_last >= 0 && t - m_last > m_longest)
                m_longest = t - m_last;
            m_last = t;
            ++m_ticks;
        });
    }
    void start() {
        m_last = now();
        m_timer.start();
    }
    // The gap up to the moment of stopping counts too.
    void stop() {
        const double t = now();
        if (t - m_last > m_longest)
            m_longest = t - m_last;
        m_timer.stop();
    }
    double longest() const { return m_longest; }
    long ticks() const { return m_ticks; }

private:
    QTimer m_timer;
    double m_last = -1;
    double m_longest = 0;
    long m_ticks = 0;
};

// Processor time of the whole process, user and system: on a shared machine it tells the work
// from the waiting.
double cpuSeconds() {
    rusage u;
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long statusKb(const char* field) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLong();
    return -1;
}

void copyFolder(const QString& from, const QString& to) {
    QDir().mkpath(to);
    QDirIterator it(from, QDir::Files);
    while (it.hasNext()) {
        it.next();
        QFile::copy(it.filePath(), QDir(to).filePath(it.fileName()));
    }
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: batch_bench CORPUS_DIR [--report] [--results FILE]\n");
        return 2;
    }
    const QString web = QString::fromLocal8Bit(argv[1]) + QStringLiteral("/web");
    if (!QFileInfo(web).isDir()) {
        std::fprintf(stderr, "no web at %s\n", qPrintable(web));
        return 2;
    }
    bool report = false;
    QString resultsFile;
    for (int i = 2; i < argc; ++i) {
        if (qstrcmp(argv[i], "--report") == 0)
            report = true;
        else if (qstrcmp(argv[i], "--results") == 0 && i + 1 < argc)
            resultsFile = QString::fromLocal8Bit(argv[++i]);
    }

    // A program folder and registry file of the benchmark's own.
    QTemporaryDir dir;
    const QString programFolder = dir.filePath(QStringLiteral("program")) + QLatin1Char('/');
    copyFolder(QStringLiteral(QM_PROGRAM_DIR "/Required"),
               programFolder + QStringLiteral("Required"));
    copyFolder(QStringLiteral(QM_PROGRAM_DIR "/dorazo"), programFolder + QStringLiteral("dorazo"));
    const QString registry = dir.filePath(QStringLiteral("registry.reg"));
    {
        platform::RegistryStore reg(registry);
        reg.openKey(rules::kSettingsKey, true);
        const std::pair<const char*, const char*> values[] = {
            {"KeyReq", "1"},      {"DescReq", "1"},       {"keywordsm", "10"},
            {"keywords", "1000"}, {"descriptionm", "20"}, {"description", "200"},
            {"rsafe", "1"},       {"bodychk", "5000"}};
        for (const auto& [name, value] : values)
            reg.writeString(QString::fromLatin1(name), QString::fromLatin1(value));
    }

    webhost::LocalWeb host(registry, programFolder);
    host.openWeb(web);
    BenchDialogs dialogs;
    dialogs.yes = report;
    NoHelp help;
    NoShell shell;
    quillmark::Services given;
    given.dialogs = &dialogs;
    given.help = &help;
    given.shell = &shell;
    given.host = &host;
    given.localWeb = &host;
    given.folders = platform::oneFolder(programFolder);
    given.registryPath = registry;
    given.instanceName = QStringLiteral("batch_bench-%1").arg(QCoreApplication::applicationPid());
    const quillmark::WiredServices services(given);

    g_clock.start();
    std::unique_ptr<quillmark::MainWindow> form = quillmark::startQuillmark(services.services());
    form->show();
    QApplication::processEvents();
    // The benchmark web has no index.htm, so start-up says it found no open page.
    dialogs.others = 0;
    dialogs.texts.clear();
    const long rssBefore = statusKb("VmRSS:");

    // The run's gaps: from Check Files to the report offer.
    GapMeter gaps;
    double commandAt = 0, dialogAt = 0, selectedAt = 0, runAt = 0, runCpu = 0, offerCpu = 0;
    dialogs.onOffer = [&] {
        gaps.stop();
        offerCpu = cpuSeconds();
    };
    int rows = 0;
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<quillmark::PageSelectionDialog*>(QApplication::activeModalWidget());
        if (!d) {
            std::fprintf(stderr, "the selection dialog did not open\n");
            QApplication::exit(1);
            return;
        }
        d->repaint();
        dialogAt = now();
        rows = d->rowCount();
        d->findChild<QAction*>(QStringLiteral("RzToolButton1"))->trigger(); // Select All
        d->repaint();
        selectedAt = now();
        runAt = now();
        runCpu = cpuSeconds();
        gaps.start();
        d->findChild<QAction*>(QStringLiteral("RzToolButton3"))->trigger(); // Check Files
    });
    commandAt = now();
    form->findChild<QAction*>(QStringLiteral("BatchCheckAllFiles1"))->trigger();
    const double endAt = now();

    if (dialogs.offerAt < 0 || dialogs.others > 0) {
        std::fprintf(stderr, "the run did not end with the report offer (%d other boxes: %s)\n",
                     dialogs.others, qPrintable(dialogs.texts.join(QStringLiteral(" | "))));
        return 1;
    }
    const auto pane = [&](const char* name) {
        return form->findChild<QPlainTextEdit*>(QLatin1String(name));
    };
    const QStringList passed = results::paneLines(pane("SubmitReady"));
    const QStringList failed = results::paneLines(pane("failedurls"));
    const qsizetype keywordLines = results::paneLineCount(pane("memo3"));

    std::printf("pages gathered: %d rows; gathering and dialog open %.3f s, Select All %.3f s\n",
                rows, dialogAt - commandAt, selectedAt - dialogAt);
    std::printf("run of %d pages (Check Files to the report offer): %.3f s wall, %.0f pages/s; "
                "%.3f s processor\n",
                rows, dialogs.offerAt - runAt, rows / (dialogs.offerAt - runAt), offerCpu - runCpu);
    if (report)
        std::printf("report of the whole run written after Yes: %.3f s\n", endAt - dialogs.offerAt);
    std::printf("event loop: longest gap %.1f ms (%ld ticks of a 1 ms timer)\n",
                gaps.longest() * 1e3, gaps.ticks());
    std::printf("memory: peak %.1f MB (resident %.1f MB before the run)\n",
                statusKb("VmHWM:") / 1024.0, rssBefore / 1024.0);
    std::printf("panes: %lld passed, %lld failed, %lld keyword lines; %s / %s\n",
                (long long)passed.size(), (long long)failed.size(), (long long)keywordLines,
                qPrintable(passed.last()), qPrintable(failed.last()));
    if (!resultsFile.isEmpty())
        results::writeResultsFile(
            resultsFile,
            results::resultsFileLines(passed, failed, results::paneLines(pane("memo3"))));
    form.reset();
    return 0;
}
