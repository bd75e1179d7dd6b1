// Throughput of the markup event parser TickXMLp on the corpus's 64 MB HTML stream, from bytes in
// memory to events (decoding included), against libxml2's HTML push parser with SAX callbacks
// that count events, on the same bytes. The stream holds 3,300 pages (stream.html.idx gives
// where each starts); libxml2 ends a document at its end, so both parsers take the pages one by
// one, each pushed in 64 KB chunks, TickXMLp reset between them as its callers do.
//
//   bench_ickxmlp [stream.html | corpus folder] [rounds]

#include "analysis/keywords/ickxmlp.h"
#include "platform/textcodec.h"
#include "platform/textfile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <libxml/HTMLparser.h>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <vector>

namespace {

constexpr qsizetype kChunk = 64 * 1024;

struct Page {
    qsizetype at;
    qsizetype size;
};

struct Counts {
    quint64 events = 0;
    quint64 textChars = 0;
};

void countEvents(keywords::TickXMLp& p, Counts& c) {
    p.OnBeginElement = [&c](keywords::TickXMLp&, QStringView) { ++c.events; };
    p.OnEmptyElement = [&c](keywords::TickXMLp&, QStringView) { ++c.events; };
    p.OnEndElement = [&c](keywords::TickXMLp&, QStringView) { ++c.events; };
    p.OnComment = [&c](keywords::TickXMLp&, QStringView) { ++c.events; };
    p.OnPI = [&c](keywords::TickXMLp&, QStringView) { ++c.events; };
    p.OnMeta = [&c](keywords::TickXMLp&, QStringView) { ++c.events; };
    p.OnSpecialSection = [&c](keywords::TickXMLp&, QStringView, QStringView) { ++c.events; };
    p.OnEvalEntity = [&c](keywords::TickXMLp&, QStringView, QString&) { ++c.events; };
    p.OnText = [&c](keywords::TickXMLp&, QStringView t) {
        ++c.events;
        c.textChars += quint64(t.size());
    };
}

// The program's own way with a working file: each page decoded whole (UTF-8 or Windows-1252, as
// readTextFile does), then fed at once.
Counts tickWhole(const QByteArray& bytes, const std::vector<Page>& pages) {
    Counts c;
    keywords::TickXMLp p;
    countEvents(p, c);
    for (const Page& pg : pages) {
        const platform::DecodedText text =
            platform::decodeText(QByteArray::fromRawData(bytes.constData() + pg.at, pg.size));
        p.Input(text.text);
        p.Reset(true);
    }
    return c;
}

// Pushed like libxml2: 64 KB chunks, each decoded as it arrives.
Counts tickChunks(const QByteArray& bytes, const std::vector<Page>& pages) {
    Counts c;
    keywords::TickXMLp p;
    countEvents(p, c);
    QString chunk;
    for (const Page& pg : pages) {
        QStringDecoder decoder(QStringDecoder::Utf8);
        for (qsizetype at = 0; at < pg.size; at += kChunk) {
            chunk = decoder.decode(
                QByteArrayView(bytes.constData() + pg.at + at, std::min(kChunk, pg.size - at)));
            p.Input(chunk);
        }
        p.Reset(true);
    }
    return c;
}

void saxStart(void* ctx, const xmlChar*, const xmlChar**) {
    ++static_cast<Counts*>(ctx)->events;
}
void saxEnd(void* ctx, const xmlChar*) {
    ++static_cast<Counts*>(ctx)->events;
}
void saxChars(void* ctx, const xmlChar*, int len) {
    auto* c = static_cast<Counts*>(ctx);
    ++c->events;
    c->textChars += quint64(len);
}
void saxComment(void* ctx, const xmlChar*) {
    ++static_cast<Counts*>(ctx)->events;
}
void saxPI(void* ctx, const xmlChar*, const xmlChar*) {
    ++static_cast<Counts*>(ctx)->events;
}
void saxSubset(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*) {
    ++static_cast<Counts*>(ctx)->events;
}
void saxQuiet(void*, const char*, ...) {}

Counts libxml2Chunks(const QByteArray& bytes, const std::vector<Page>& pages) {
    Counts c;
    htmlSAXHandler sax{};
    sax.startElement = saxStart;
    sax.endElement = saxEnd;
    sax.characters = saxChars;
    sax.ignorableWhitespace = saxChars;
    sax.comment = saxComment;
    sax.processingInstruction = saxPI;
    sax.internalSubset = saxSubset;
    sax.cdataBlock = saxChars;
    sax.warning = saxQuiet;
    sax.error = saxQuiet;
    for (const Page& pg : pages) {
        htmlParserCtxtPtr ctxt =
            htmlCreatePushParserCtxt(&sax, &c, nullptr, 0, nullptr, XML_CHAR_ENCODING_UTF8);
        htmlCtxtUseOptions(ctxt, HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET);
        for (qsizetype at = 0; at < pg.size; at += kChunk) {
            const int n = int(std::min(kChunk, pg.size - at));
            htmlParseChunk(ctxt, bytes.constData() + pg.at + at, n, 0);
        }
        htmlParseChunk(ctxt, nullptr, 0, 1);
        htmlFreeParserCtxt(ctxt);
    }
    return c;
}

template <typename F> double bestSeconds(int rounds, F f, Counts& counts) {
    double best = 1e30;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer t;
        t.start();
        counts = f();
        best = std::min(best, t.nsecsElapsed() / 1e9);
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString path =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/work/corpus/stream.html");
    if (QFileInfo(path).isDir())
        path += QStringLiteral("/stream.html");
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 5;
    QByteArray bytes;
    try {
        // The stream is larger than the program's cap for one page.
        bytes = platform::readFileBytes(path, std::numeric_limits<qint64>::max());
    } catch (const platform::Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    // Where the pages start; without the index the stream counts as one page.
    std::vector<Page> pages;
    QFile index(path + QStringLiteral(".idx"));
    if (index.open(QIODevice::ReadOnly)) {
        std::vector<qsizetype> starts;
        for (const QByteArray& line : index.readAll().split('\n'))
            if (!line.trimmed().isEmpty())
                starts.push_back(line.trimmed().toLongLong());
        for (size_t i = 0; i < starts.size(); ++i) {
            const qsizetype end = i + 1 < starts.size() ? starts[i + 1] : bytes.size();
            pages.push_back({starts[i], end - starts[i]});
        }
    }
    if (pages.empty())
        pages.push_back({0, bytes.size()});
    const double mb = bytes.size() / 1e6;
    std::printf("input: %s, %.1f MB in %zu pages, best of %d rounds\n", qPrintable(path), mb,
                pages.size(), rounds);

    xmlInitParser();
    Counts c;
    const double xml = bestSeconds(
        rounds, [&] { return libxml2Chunks(bytes, pages); }, c);
    std::printf("libxml2 HTML push (64 KB chunks): %7.3f s %8.1f MB/s  %llu events\n", xml,
                mb / xml, (unsigned long long)c.events);
    const double whole = bestSeconds(
        rounds, [&] { return tickWhole(bytes, pages); }, c);
    std::printf(
        "TickXMLp, decoded whole:          %7.3f s %8.1f MB/s  %llu events  (%.2fx libxml2)\n",
        whole, mb / whole, (unsigned long long)c.events, xml / whole);
    const double chunks = bestSeconds(
        rounds, [&] { return tickChunks(bytes, pages); }, c);
    std::printf(
        "TickXMLp, 64 KB chunks decoded:   %7.3f s %8.1f MB/s  %llu events  (%.2fx libxml2)\n",
        chunks, mb / chunks, (unsigned long long)c.events, xml / chunks);
    xmlCleanupParser();
    return 0;
}
