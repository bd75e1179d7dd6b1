// The engine's path of one page on the benchmark corpus: the page check (the page file read, the
// head pipeline, the policy check and the keyword checks); no window. Single thread. Also one page
// with a head of 300,000 lines.
//
//   engine_bench CORPUS_DIR [REPEATS [--no-linearity]]
#include "analysis/engine/pagecheck.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>

namespace {

engine::RuleValues benchRules() {
    engine::RuleValues v;
    v.KeyReq = v.DescReq = QStringLiteral("1");
    v.keywordsm = QStringLiteral("10");
    v.keywords = QStringLiteral("1000");
    v.descriptionm = QStringLiteral("20");
    v.description = QStringLiteral("200");
    v.rsafe = QStringLiteral("1");
    v.bodychk = QStringLiteral("5000");
    return v;
}

// One page through the engine; answers the pane lines written, so nothing is optimised away.
qsizetype checkPage(const QString& file, const engine::RuleValues& rules, engine::RuleTable& grid,
                    engine::PageState& st) {
    engine::PaneOutput out;
    engine::checkPage(st, grid, rules, file, file, out, {}, {});
    return out.passed.size() + out.failed.size() + out.keyword.size();
}

// Wall time and the thread's CPU time: on a shared machine the CPU time is what one core spent.
struct Seconds {
    double wall = 0;
    double cpu = 0;
};

double threadCpuSeconds() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + ts.tv_nsec / 1e9;
}

Seconds secondsFor(const QStringList& files, int repeats, qsizetype* lines) {
    const engine::RuleValues rules = benchRules();
    engine::RuleTable grid;
    grid.setNames(
        {QStringLiteral("author"), QStringLiteral("keywords"), QStringLiteral("description")});
    engine::PageState st;
    QElapsedTimer t;
    const double cpu = threadCpuSeconds();
    t.start();
    for (int r = 0; r < repeats; ++r)
        for (const QString& f : files)
            *lines += checkPage(f, rules, grid, st);
    return {t.nsecsElapsed() / 1e9, threadCpuSeconds() - cpu};
}

// One page whose head holds 300,000 short tags, one a line (2.1 MB): the head layout must stay
// linear in the number of head lines.
Seconds secondsForLongHead(const QString& folder, qsizetype* lines) {
    QByteArray page =
        "<html><head><title>Long head</title>\r\n<meta name=\"keywords\" content=\"shoes\">\r\n";
    for (int i = 0; i < 300000; ++i)
        page += "<br/>\r\n";
    page += "</head><body>shoes</body></html>\r\n";
    const QString path = folder + QStringLiteral("/longhead.html");
    QFile out(path);
    out.open(QIODevice::WriteOnly);
    out.write(page);
    out.close();
    return secondsFor({path}, 1, lines);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: engine_bench CORPUS_DIR [REPEATS]\n");
        return 2;
    }
    const QString corpus = QString::fromLocal8Bit(argv[1]);
    const int repeats = argc > 2 ? atoi(argv[2]) : 1;
    QStringList files;
    qint64 bytes = 0;
    QDirIterator it(corpus + QStringLiteral("/web"), {QStringLiteral("*.html")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        files.append(it.next());
        bytes += it.fileInfo().size();
    }
    files.sort();
    if (files.isEmpty()) {
        std::fprintf(stderr, "no pages under %s/web\n", argv[1]);
        return 2;
    }
    qsizetype lines = 0;
    secondsFor(files.mid(0, 200), 1, &lines); // warm the page cache and the allocator
    const Seconds s = secondsFor(files, repeats, &lines);
    const double pages = double(files.size()) * repeats;
    std::printf("pages: %lld (%.1f KB mean), repeats %d\n", (long long)files.size(),
                bytes / 1024.0 / files.size(), repeats);
    std::printf(
        "engine path: %.3f s, %.0f pages/s, %.1f us/page; CPU %.3f s, %.0f pages/s, %.1f us/page\n",
        s.wall, pages / s.wall, s.wall / pages * 1e6, s.cpu, pages / s.cpu, s.cpu / pages * 1e6);
    QTemporaryDir dir;
    const Seconds longHead = secondsForLongHead(dir.path(), &lines);
    std::printf("long head (300,000 head lines, 2.1 MB): %.3f s (CPU %.3f s)\n", longHead.wall,
                longHead.cpu);
    if (argc > 3 && QByteArray(argv[3]) == "--no-linearity")
        return 0;

    // Linearity: the same pages with bodies ten times as long (the body repeated inside <body>).
    QStringList big;
    qint64 bigBytes = 0;
    for (int i = 0; i < 200 && i < files.size(); ++i) {
        QFile in(files.at(i));
        in.open(QIODevice::ReadOnly);
        const QByteArray page = in.readAll();
        // Ten times the page: the head's content and the body's content each ten times.
        QByteArray lower = page.toLower();
        QByteArray grown = page;
        const qsizetype hs = lower.indexOf("<head"), he = lower.indexOf("</head>");
        const qsizetype b = lower.indexOf("<body"), e = lower.lastIndexOf("</body>");
        if (hs >= 0 && he > hs && b > he && e > b) {
            const qsizetype headOpen = lower.indexOf('>', hs) + 1;
            const qsizetype bodyOpen = lower.indexOf('>', b) + 1;
            grown = page.left(headOpen) + page.mid(headOpen, he - headOpen).repeated(10) +
                    page.mid(he, bodyOpen - he) + page.mid(bodyOpen, e - bodyOpen).repeated(10) +
                    page.mid(e);
        }
        const QString path = dir.filePath(QStringLiteral("big%1.html").arg(i));
        QFile out(path);
        out.open(QIODevice::WriteOnly);
        out.write(grown);
        bigBytes += grown.size();
        big.append(path);
    }
    const QStringList small = files.mid(0, big.size());
    qint64 smallBytes = 0;
    for (const QString& f : small)
        smallBytes += QFileInfo(f).size();
    const int rep = 20;
    const double ts = secondsFor(small, rep, &lines).cpu;
    const double tb = secondsFor(big, rep / 10 > 0 ? rep / 10 : 1, &lines).cpu * 10;
    std::printf("linearity (CPU): %.1f KB pages %.1f us, %.1f KB pages %.1f us: %.2fx the size "
                "costs %.2fx\n",
                smallBytes / 1024.0 / small.size(), ts / rep / small.size() * 1e6,
                bigBytes / 1024.0 / big.size(), tb / rep / big.size() * 1e6,
                double(bigBytes) / smallBytes, tb / ts);
    std::printf("(lines written: %lld)\n", (long long)lines);
    return 0;
}
