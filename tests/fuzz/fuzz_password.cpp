// The password encoder: decode(encode(p)) == p, and decoding anything does not crash.
#include "analysis/proxy/passwordwindow.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    if (proxy::DecodePWD(proxy::EncodePWD(text)) != text)
        abort();
    proxy::DecodePWD(text);
    return 0;
}
