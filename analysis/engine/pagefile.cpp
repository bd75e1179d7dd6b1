#include "pagefile.h"

#include "platform/errors.h"
#include "platform/filenames.h"
#include "platform/textcodec.h"
#include "platform/textfile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace engine {

namespace {

void refuseLargePage(const QString& path, qint64 size) {
    // A page that large is no web page; refuse it before it costs memory.
    if (size > kMaxPageBytes)
        throw platform::EFOpenError(
            path, QStringLiteral("The page is %1 MB; pages of more than %2 MB are not checked.")
                      .arg(double(size) / (1 << 20), 0, 'f', 1)
                      .arg(kMaxPageBytes >> 20));
}

// The bytes of a plain file opened as fd; false when it cannot be read this way.
bool readOpenFile(int fd, const QString& path, QByteArray& bytes) {
    struct stat sb;
    if (::fstat(fd, &sb) != 0 || !S_ISREG(sb.st_mode))
        return false;
    refuseLargePage(path, qint64(sb.st_size));
    bytes.resize(qsizetype(sb.st_size) + 1); // one byte more tells a file that grew
    qint64 got = 0;
    for (;;) {
        if (got == bytes.size())
            bytes.resize(qMin<qint64>(bytes.size() * 2, kMaxPageBytes + 1));
        const ssize_t n = ::read(fd, bytes.data() + got, size_t(bytes.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        got += n;
        refuseLargePage(path, got);
    }
    bytes.truncate(got);
    return true;
}

#if defined(__x86_64__)
// The ASCII bytes from p widened to characters, 32 at a time; answers how many.
__attribute__((target("avx2"))) qsizetype widenAsciiAvx2(const unsigned char* p, qsizetype n,
                                                         char16_t* d) {
    qsizetype i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
        if (_mm256_movemask_epi8(v))
            break;
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i),
                            _mm256_cvtepu8_epi16(_mm256_castsi256_si128(v)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i + 16),
                            _mm256_cvtepu8_epi16(_mm256_extracti128_si256(v, 1)));
    }
    return i;
}

const bool kHasAvx2 = __builtin_cpu_supports("avx2");
#endif

// Valid UTF-8 (ASCII among it) into `out` in one pass, as the text codec decodes it; false at the
// first byte that is not valid UTF-8 (as isValidUtf8 rules: no overlong forms, no surrogates,
// nothing past U+10FFFF).
bool decodeUtf8(const QByteArray& bytes, QString& out) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    out = QString(n, Qt::Uninitialized); // never more UTF-16 units than bytes
    char16_t* d = reinterpret_cast<char16_t*>(out.data());
    qsizetype w = 0;
    qsizetype i = 0;
    while (i < n) {
#if defined(__x86_64__)
        // ASCII runs 32 or 16 bytes at a time.
        if (kHasAvx2) {
            const qsizetype k = widenAsciiAvx2(p + i, n - i, d + w);
            i += k;
            w += k;
        }
        while (i + 16 <= n) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            if (_mm_movemask_epi8(v))
                break;
            const __m128i zero = _mm_setzero_si128();
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + w), _mm_unpacklo_epi8(v, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + w + 8), _mm_unpackhi_epi8(v, zero));
            i += 16;
            w += 16;
        }
        if (i >= n)
            break;
#endif
        const unsigned char c = p[i];
        if (c < 0x80) {
            d[w++] = c;
            ++i;
            continue;
        }
        char32_t cp;
        const int len = platform::utf8Sequence(p + i, n - i, cp);
        if (len == 0)
            return false;
        if (cp >= 0x10000) {
            d[w++] = QChar::highSurrogate(cp);
            d[w++] = QChar::lowSurrogate(cp);
        } else {
            d[w++] = char16_t(cp);
        }
        i += len;
    }
    out.truncate(w);
    return true;
}

// The page's text as the text codec decodes a file: UTF-8 after a byte-order mark or when valid,
// otherwise Windows-1252.
QString decodePage(const QByteArray& bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return platform::decodeText(bytes).text;
    QString text;
    if (decodeUtf8(bytes, text))
        return text;
    return platform::decodeWindows1252(bytes);
}

} // namespace

QString decodePageBytes(const QByteArray& bytes, const QString& name) {
    refuseLargePage(name, bytes.size());
    return decodePage(bytes);
}

QString readPageFile(const QString& path) {
    QByteArray bytes;
    const int fd = platform::openNative(platform::nativePath(path), O_RDONLY | O_NONBLOCK);
    bool read = false;
    if (fd >= 0) {
        try {
            read = readOpenFile(fd, path, bytes);
        } catch (...) {
            ::close(fd);
            throw;
        }
        ::close(fd);
    }
    if (!read) {
        // Not a plain file that could be read: the file layer says why.
        bytes = platform::readFileBytes(path);
        refuseLargePage(path, bytes.size());
    }
    return decodePage(bytes);
}

} // namespace engine
