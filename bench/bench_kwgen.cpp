// The keyword generator on a 1 MB body with 500 noise words (the corpus's bodytext_1mib.txt inside
// a body, its noise_words.txt), and on twice that body: the counting from the page text in memory,
// and the window's whole GenerateList from the working file to the filled list.
//
//   bench_kwgen [corpus folder] [rounds]

#include "analysis/keywords/keywordgeneration.h"
#include "analysis/keywords/keywordgenerator.h"
#include "platform/dialogs.h"
#include "platform/help.h"
#include "platform/textfile.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <ctime>

namespace {

class SilentDialogs : public platform::Dialogs {
public:
    int shown = 0;
    Button show(Kind, const QString& text, const QList<Button>& buttons) override {
        ++shown;
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return buttons.value(0, Button::Ok);
    }
};

class NoHelp : public platform::Help {
public:
    void showTopic(const QString&, int) override {}
};

QString pageWith(const QString& body) {
    return QStringLiteral("<html><head><title>Benchmark</title></head>\n<body>\n") + body +
           QStringLiteral("\n</body></html>\n");
}

// The counting alone: excerpt, text extraction, words, filters, counts, top rows.
int countPage(const QString& page, const QStringList& noise) {
    int limit = INT_MAX;
    QStringView excerpt;
    keywords::bodyExcerpt(page, limit, excerpt);
    const keywords::Generation g =
        keywords::countText(keywords::extractText(excerpt), noise, {}, 25);
    return int(g.top.size());
}

double cpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

struct Time {
    double wall = 1e30; // best wall-clock time of the rounds
    double cpu = 1e30;  // best processor time (less disturbed by other work on the machine)
};

template <typename F> Time best(int rounds, F f) {
    Time b;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer t;
        const double c0 = cpuMs();
        t.start();
        f();
        b.wall = std::min(b.wall, t.nsecsElapsed() / 1e6);
        b.cpu = std::min(b.cpu, cpuMs() - c0);
    }
    return b;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                    : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const QString corpus =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/work/corpus");
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 7;
    QString body;
    QStringList noise;
    try {
        body =
            platform::readTextFile(QDir(corpus).filePath(QStringLiteral("bodytext_1mib.txt"))).text;
        noise = platform::readLines(QDir(corpus).filePath(QStringLiteral("noise_words.txt")));
    } catch (const platform::Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    QTemporaryDir dir;
    platform::writeAnsiLines(dir.filePath(QStringLiteral("srexclude.txt")), noise);
    SilentDialogs dialogs;
    NoHelp help;
    std::printf("%lld noise words, best of %d rounds\n", (long long)noise.size(), rounds);

    Time counting[2], window[2];
    for (int scale = 1; scale <= 2; ++scale) {
        QString text = body;
        if (scale == 2)
            text += QLatin1Char('\n') + body;
        const QString page = pageWith(text);
        const QString file = dir.filePath(QStringLiteral("temp%1.tgf").arg(scale));
        platform::writeFileAtomically(file, page.toUtf8());
        int rows = 0;
        counting[scale - 1] = best(rounds, [&] { rows = countPage(page, noise); });
        quillmark::KeywordGenerator form(dialogs, help,
                                         dir.filePath(QStringLiteral("registry.reg")),
                                         platform::oneFolder(dir.path()));
        form.BodyLimit = INT_MAX;
        form.NoiseWords = noise;
        window[scale - 1] = best(rounds, [&] { form.GenerateList(file); });
        rows = form.wordList->topLevelItemCount();
        std::printf("body %.2f MB: counting %6.1f ms (cpu %6.1f), GenerateList from the file %6.1f "
                    "ms (cpu %6.1f), %d rows\n",
                    text.toUtf8().size() / 1048576.0, counting[scale - 1].wall,
                    counting[scale - 1].cpu, window[scale - 1].wall, window[scale - 1].cpu, rows);
    }
    std::printf("twice the body: counting %.2fx (cpu %.2fx), GenerateList %.2fx (cpu %.2fx)\n",
                counting[1].wall / counting[0].wall, counting[1].cpu / counting[0].cpu,
                window[1].wall / window[0].wall, window[1].cpu / window[0].cpu);
    return dialogs.shown == 0 ? 0 : 1;
}
