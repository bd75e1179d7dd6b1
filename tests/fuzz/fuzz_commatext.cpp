// The comma-text split and the meta tag parser on any text.
#include "analysis/engine/commatext.h"
#include "analysis/engine/headpipeline.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList items = engine::splitCommaText(text);
    // Unquoted items never hold a separator.
    for (const QString& item : items)
        if (item.size() > text.size())
            abort();
    try {
        const engine::MetaTag tag = engine::ParseMetaTag(text, true);
        if (tag.name.size() > text.size() || tag.content.size() > text.size())
            abort();
    } catch (const engine::EInvalidMetaTag&) {
    }
    return 0;
}
