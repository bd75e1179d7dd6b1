// The version file rules and the FTP listing-line parser on any text.
#include "platform/textcodec.h"
#include "platform/textfile.h"
#include "updater/ftp/ftplisting.h"
#include "updater/versionfile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text =
        platform::decodeText(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size))).text;
    const QStringList lines = platform::splitLines(text);
    tidewell::VersionInfo info;
    // An accepted version file never names a package outside the download folder.
    if (tidewell::parseVersionFile(lines, info) &&
        (info.package.contains(QLatin1Char('/')) || info.package.contains(QLatin1Char('\\')) ||
         info.package == QLatin1String("..")))
        abort();
    for (const QString& line : lines) {
        ftp::ListEntry e;
        if (ftp::parseListLine(line, e, QDate(2026, 12, 10)) &&
            (e.name.isEmpty() || e.size < 0 || e.date.size() != 10 || e.time.size() != 8))
            abort();
        ftp::matchesMask(line, lines.value(0));
    }
    return 0;
}
