#include "platform/textcodec.h"
#include "platform/textfile.h"

#include <QtTest>

#include <csignal>

#include <sys/resource.h>

using namespace platform;

namespace {

// While it lives, no file grows past `bytes`: a write beyond fails with EFBIG, even as root.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldSignal = std::signal(SIGXFSZ, SIG_IGN);
        const struct rlimit limit { bytes, m_old.rlim_max };
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldSignal);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    struct rlimit m_old {};
    void (*m_oldSignal)(int) = nullptr;
};

} // namespace

class TestTextCodec : public QObject {
    Q_OBJECT
private slots:
    void decode_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("encoding");
        QTest::newRow("ascii") << QByteArray("plain") << QStringLiteral("plain")
                               << int(TextEncoding::Utf8);
        QTest::newRow("utf-8") << QByteArray("caf\xC3\xA9") << QStringLiteral("caf\u00E9")
                               << int(TextEncoding::Utf8);
        QTest::newRow("bom") << QByteArray("\xEF\xBB\xBFx\xC3\xA9") << QStringLiteral("x\u00E9")
                             << int(TextEncoding::Utf8Bom);
        QTest::newRow("cp1252 e-acute") << QByteArray("caf\xE9") << QStringLiteral("caf\u00E9")
                                        << int(TextEncoding::Windows1252);
        QTest::newRow("cp1252 euro and quotes")
            << QByteArray("\x80 \x93q\x94") << QStringLiteral("\u20AC \u201Cq\u201D")
            << int(TextEncoding::Windows1252);
        QTest::newRow("undefined bytes survive")
            << QByteArray("\x81\x8D\x8F\x90\x9D")
            << QStringLiteral("\u0081\u008D\u008F\u0090\u009D") << int(TextEncoding::Windows1252);
        QTest::newRow("overlong is not utf-8")
            << QByteArray("\xC0\xAF") << QStringLiteral("\u00C0\u00AF")
            << int(TextEncoding::Windows1252);
        QTest::newRow("surrogate is not utf-8")
            << QByteArray("\xED\xA0\x80") << QStringLiteral("\u00ED\u00A0\u20AC")
            << int(TextEncoding::Windows1252);
        QTest::newRow("truncated sequence")
            << QByteArray("ab\xE2\x82") << QStringLiteral("ab\u00E2\u201A")
            << int(TextEncoding::Windows1252);
        QTest::newRow("four-byte") << QByteArray("\xF0\x9F\x98\x80")
                                   << QString::fromUcs4(U"\U0001F600") << int(TextEncoding::Utf8);
    }
    void decode() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QFETCH(int, encoding);
        const DecodedText d = decodeText(bytes);
        QCOMPARE(d.text, text);
        QCOMPARE(int(d.encoding), encoding);
        // Every text read back in its own encoding gives the same bytes.
        QCOMPARE(encodeAs(d.text, d.encoding), bytes);
    }

    void ansiText() {
        QCOMPARE(encodeAnsiText(QStringLiteral("caf\u00E9 \u20AC")), QByteArray("caf\xE9 \x80"));
        QCOMPARE(encodeAnsiText(QStringLiteral("\u0444")), QByteArray("\xEF\xBB\xBF\xD1\x84"));
        QCOMPARE(encodeWindows1252Ncr(QStringLiteral("a\u0444") + QString::fromUcs4(U"\U0001F600")),
                 QByteArray("a&#1092;&#128512;"));
    }

    void lines_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("empty") << QString() << QStringList();
        QTest::newRow("one break") << QStringLiteral("\r\n") << QStringList{QString()};
        QTest::newRow("no final break") << QStringLiteral("a\r\nb") << QStringList{"a", "b"};
        QTest::newRow("final break adds nothing")
            << QStringLiteral("a\nb\n") << QStringList{"a", "b"};
        QTest::newRow("CR alone") << QStringLiteral("a\rb") << QStringList{"a", "b"};
        QTest::newRow("LF CR is two") << QStringLiteral("a\n\rb") << QStringList{"a", "", "b"};
        QTest::newRow("blank lines")
            << QStringLiteral("a\r\n\r\n\r\nb") << QStringList{"a", "", "", "b"};
    }
    void lines() {
        QFETCH(QString, text);
        QFETCH(QStringList, lines);
        QCOMPARE(splitLines(text), lines);
    }

    void atomicWriteFailureKeepsOldFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("f.txt"));
        writeAnsiLines(path, {QStringLiteral("old")});
        QCOMPARE(readFileBytes(path), QByteArray("old\r\n"));
        // The new content is cut short by the file size limit after part of it is written.
        {
            const FileSizeLimit limit(16);
            QVERIFY_THROWS_EXCEPTION(std::exception,
                                     writeAnsiLines(path, {QString(64, QLatin1Char('n'))}));
        }
        QCOMPARE(readFileBytes(path), QByteArray("old\r\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{"f.txt"}); // nor is the temporary file left
        // A folder in the place of the file cannot be replaced.
        const QString blocked = dir.filePath(QStringLiteral("blocked"));
        QDir().mkpath(blocked);
        QVERIFY_THROWS_EXCEPTION(std::exception, writeAnsiLines(blocked, {QStringLiteral("new")}));
        QVERIFY(QFileInfo(blocked).isDir());
        QVERIFY_THROWS_EXCEPTION(std::exception,
                                 readFileBytes(dir.filePath(QStringLiteral("missing"))));
    }
};

QTEST_GUILESS_MAIN(TestTextCodec)
#include "tst_textcodec.moc"
