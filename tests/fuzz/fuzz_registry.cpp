// The registry file reader and writer: what was read, written and read again has the same keys
// and values, a second write changes nothing, and a file that starts as ours is written back
// byte for byte.
#include "platform/registrystore.h"

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
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    using platform::RegistryStore;
    const RegistryStore::Document first = RegistryStore::parse(bytes);
    const QByteArray written = RegistryStore::serialize(first);
    const RegistryStore::Document second = RegistryStore::parse(written);
    if (flatten(first) != flatten(second))
        abort();
    if (RegistryStore::serialize(second) != written)
        abort();
    if (!first.preamble.isEmpty() &&
        first.preamble.first().raw.trimmed() == QLatin1String("REGEDIT4") && written != bytes)
        abort();
    return 0;
}
