// One page through the page check: the head pipeline, the tag reading, the policy check and the
// keyword checks.
#include "analysis/engine/pagecheck.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A folder in memory where there is one: every input is written to the working file.
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                 ? QStringLiteral("/dev/shm/fuzz_page-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/fuzz_page-XXXXXX"));
    static const QString file = dir.filePath(QStringLiteral("temp.tgf"));
    {
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            abort();
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    engine::RuleValues rules;
    rules.KeyReq = rules.DescReq = rules.Rating = rules.rsafe = rules.rrsac = rules.rweb =
        QStringLiteral("1");
    rules.keywordsm = QStringLiteral("5");
    rules.keywords = QStringLiteral("100");
    rules.descriptionm = QStringLiteral("5");
    rules.description = QStringLiteral("100");
    rules.bodychk = QStringLiteral("200");
    engine::RuleTable grid;
    grid.setNames({QStringLiteral("author"), QStringLiteral("keywords")});
    for (bool batch : {false, true}) {
        engine::PageState st;
        engine::PaneOutput out;
        engine::CheckOptions o;
        o.batch = batch;
        engine::checkPage(st, grid, rules, QStringLiteral("p.htm"), file, out, o, {});
        // Every page gets exactly one verdict and leaves nothing pending for the next one.
        qsizetype verdicts = out.passed.count(QStringLiteral("File = p.htm")) +
                             out.failed.count(QStringLiteral("File = p.htm"));
        if (batch && out.failed.contains(QStringLiteral("    File has no meta tags")))
            --verdicts; // a batch writes its no-meta entry with "File = " too
        if (verdicts != 1 || !st.failed.isEmpty())
            abort();
    }
    return 0;
}
