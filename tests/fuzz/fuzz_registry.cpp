// The registry file reader and writer: what was read, written and read again has the same keys
// and values, and a second write changes nothing.
#include "platform/registrystore.h"
#include "platform/textcodec.h"

#include <cstdint>
#include <cstdlib>

namespace {

QStringList flatten(const platform::RegistryStore::Document& doc) {
    QStringList out;
    for (const auto& s : doc.sections) {
        out.append(QStringLiteral("[") + (s.local ? s.key : s.header) + QLatin1Char(']'));
        for (const auto& e : s.entries)
            if (e.isValue)
                out.append(e.name + QLatin1Char('=') + e.value);
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = platform::decodeText(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size))).text;
    using platform::RegistryStore;
    const RegistryStore::Document first = RegistryStore::parse(text);
    const QString written = RegistryStore::serialize(first);
    const RegistryStore::Document second = RegistryStore::parse(written);
    if (flatten(first) != flatten(second))
        abort();
    if (RegistryStore::serialize(second) != written)
        abort();
    return 0;
}
