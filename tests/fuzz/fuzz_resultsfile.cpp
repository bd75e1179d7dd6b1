// The results file split: the three parts put back together give the text again.
#include "analysis/results/resultsfile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const results::PaneTexts parts = results::splitResults(text);
    if (parts.passed + parts.failed + parts.keyword != text)
        abort();
    return 0;
}
