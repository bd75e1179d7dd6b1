// Writes one file over and over until it is killed, alternating two contents:
//   crash_writer registry FILE | results FILE | page WEBFOLDER PAGE REGISTRY
// It says "writing" once the first write has been done.
#include "analysis/results/resultsfile.h"
#include "platform/registrystore.h"
#include "webhost/localweb.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    const QString mode = a.value(1);
    const int size = 200000;
    const QString contents[2] = {QString(size, QLatin1Char('a')), QString(size, QLatin1Char('b'))};
    bool told = false;
    try {
        for (int i = 0;; ++i) {
            const QString& c = contents[i % 2];
            if (mode == QLatin1String("registry")) {
                platform::RegistryStore reg(a.value(2));
                if (!reg.openKey(QStringLiteral("\\Software\\VRNH\\Quillmark"), true) ||
                    !reg.writeString(QStringLiteral("big"), c))
                    return 1;
            } else if (mode == QLatin1String("results")) {
                results::writeResultsFile(
                    a.value(2), {QStringLiteral("Listing of files that passed the checks."), c});
            } else if (mode == QLatin1String("page")) {
                webhost::LocalWeb web(a.value(4), QString());
                web.openWeb(a.value(2));
                QString page = a.value(3);
                QString content = c;
                web.createEditor()->vtiSetMetaTag(page, QString(), QStringLiteral("keywords"),
                                                  content, 0, 0);
            } else {
                return 2;
            }
            if (!told) {
                std::printf("writing\n");
                std::fflush(stdout);
                told = true;
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "crash_writer: %s\n", e.what());
        return 3;
    }
}
