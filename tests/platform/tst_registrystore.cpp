#include "platform/registrystore.h"
#include "platform/textfile.h"
#include "support/testenv.h"

#include <QProcess>
#include <QtTest>

#include <sys/stat.h>

using platform::RegistryStore;

namespace {

const QString kKey = QStringLiteral("\\Software\\VRNH\\Quillmark");

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

ino_t inodeOf(const QString& path) {
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}

} // namespace

class TestRegistryStore : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path() const { return m_dir.filePath(QStringLiteral("VRNH/registry.reg")); }

private slots:
    void cleanup() { QFile::remove(path()); }

    void formatRoundTrip() {
        RegistryStore reg(path());
        QVERIFY(reg.openKey(kKey, true));
        QVERIFY(reg.writeString(QStringLiteral("bodychk"), QStringLiteral("5000")));
        QVERIFY(reg.writeString(QStringLiteral("odd"), QStringLiteral("a\\b \"q\"\r\n\tend")));
        QCOMPARE(fileBytes(path()), QByteArray("REGEDIT4\r\n\r\n"
                                               "[HKEY_LOCAL_MACHINE\\Software\\VRNH\\Quillmark]\r\n"
                                               "\"bodychk\"=\"5000\"\r\n"
                                               "\"odd\"=\"a\\\\b \\\"q\\\"\\r\\n\\tend\"\r\n"));
        QCOMPARE(QFileInfo(path()).permissions() &
                     (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup),
                 QFile::Permissions());

        RegistryStore again(path());
        QVERIFY(again.openKeyReadOnly(kKey));
        QCOMPARE(again.readString(QStringLiteral("odd")), QStringLiteral("a\\b \"q\"\r\n\tend"));
        QCOMPARE(again.valueNames(), (QStringList{"bodychk", "odd"}));
    }

    void caseRules() {
        RegistryStore reg(path());
        QVERIFY(!reg.openKey(kKey, false)); // missing, creation not allowed
        QVERIFY(!QFile::exists(path()));
        QVERIFY(reg.openKey(kKey, true));
        QVERIFY(reg.writeString(QStringLiteral("KeyWordsm"), QStringLiteral("500")));
        reg.closeKey();

        RegistryStore other(path());
        QVERIFY(other.openKey(QStringLiteral("\\SOFTWARE\\vrnh\\QUILLMARK"), false));
        QVERIFY(other.valueExists(QStringLiteral("keywordsm")));
        QCOMPARE(other.readString(QStringLiteral("KEYWORDSM")), QStringLiteral("500"));
        QVERIFY(other.writeString(QStringLiteral("keywordsm"), QStringLiteral("600")));
        // One value, spelled as first written.
        const QString text = QString::fromUtf8(fileBytes(path()));
        QCOMPARE(text.count(QStringLiteral("=\"600\"")), 1);
        QVERIFY(text.contains(QStringLiteral("\"KeyWordsm\"=\"600\"")));
        QVERIFY(!other.valueExists(QStringLiteral("missing")));
        QCOMPARE(other.readString(QStringLiteral("missing")), QString());
    }

    void subkeysAndDeletion() {
        RegistryStore reg(path());
        for (const char* p :
             {"Updater\\zeta", "Updater\\Alpha", "Updater\\beta\\deep", "Updater\\ALPHA"}) {
            QVERIFY(reg.openKey(QStringLiteral("\\SOFTWARE\\VRNH\\") + QLatin1String(p), true));
            reg.closeKey();
        }
        QVERIFY(reg.openKey(QStringLiteral("\\Software\\VRNH\\Updater"),
                            false)); // implied by its subkeys
        QCOMPARE(reg.subKeyNames(), (QStringList{"Alpha", "beta", "zeta"}));
        QVERIFY(reg.openKey(QStringLiteral("beta"), false)); // relative to the open key
        QCOMPARE(reg.currentPath().toLower(), QStringLiteral("software\\vrnh\\updater\\beta"));
        QVERIFY(reg.deleteKey(QStringLiteral("\\SOFTWARE\\VRNH\\Updater\\beta")));
        QVERIFY(!reg.keyExists(QStringLiteral("\\SOFTWARE\\VRNH\\Updater\\beta\\deep")));
        QVERIFY(reg.keyExists(QStringLiteral("\\SOFTWARE\\VRNH\\Updater\\zeta")));
    }

    void malformedLinesAreKept() {
        const QByteArray original = "REGEDIT4\r\n; a comment\r\n\r\n"
                                    "[HKEY_LOCAL_MACHINE\\Software\\VRNH\\Quillmark]\r\n"
                                    "\"kwgcount\"=dword:00000019\r\n"
                                    "this line is not ours\r\n"
                                    "\"bad\"=\"unknown \\q escape\"\r\n"
                                    "\"win-p\"=\"30\"\r\n\r\n"
                                    "[HKEY_CURRENT_USER\\Other]\r\n\"x\"=\"1\"\r\n";
        writeBytes(path(), original);
        RegistryStore reg(path());
        QVERIFY(reg.openKey(kKey, false));
        QCOMPARE(reg.readString(QStringLiteral("win-p")), QStringLiteral("30"));
        QVERIFY(!reg.valueExists(QStringLiteral("bad")));
        QVERIFY(reg.writeString(QStringLiteral("win-p"), QStringLiteral("60")));
        QVERIFY(reg.writeString(QStringLiteral("bodychk"), QStringLiteral("5000")));
        QByteArray expected = original;
        expected.replace("\"win-p\"=\"30\"\r\n", "\"win-p\"=\"60\"\r\n\"bodychk\"=\"5000\"\r\n");
        QCOMPARE(fileBytes(path()), expected);
    }

    void decodesEachLineOnItsOwn() {
        writeBytes(path(), "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\VRNH\\Quillmark]\r\n"
                           "\"puser\"=\"J\xF6rg\"\r\n\"owner\"=\"Zo\xC3\xAB\"\r\n");
        RegistryStore reg(path());
        QVERIFY(reg.openKeyReadOnly(kKey));
        QCOMPARE(reg.readString(QStringLiteral("puser")), QStringLiteral("J\u00F6rg"));
        QCOMPARE(reg.readString(QStringLiteral("owner")), QStringLiteral("Zo\u00EB"));
    }

    // A write keeps every line it does not change byte for byte, and writes the lines it changes
    // or adds in UTF-8 with CR LF.
    void writeKeepsOtherLines_data() {
        QTest::addColumn<QByteArray>("original");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray head =
            "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\VRNH\\Quillmark]\r\n";
        const QByteArray mixed =
            head +
            "\"puser\"=\"J\xF6rg\"\r\n; caf\xE9\r\n\"owner\"=\"Zo\xC3\xAB\"\r\n\"win-p\"=\"0\"\r\n";
        QTest::newRow("one byte not UTF-8, another value changed")
            << mixed << "win-p"
            << "50" << QByteArray(mixed).replace("\"0\"", "\"50\"");
        QTest::newRow("the Windows-1252 value changed")
            << mixed << "puser"
            << "J\u00F6rg M" << QByteArray(mixed).replace("J\xF6rg", "J\xC3\xB6rg M");
        QTest::newRow("a value written as it stands") << mixed << "OWNER"
                                                      << "Zo\u00EB" << mixed;
        QTest::newRow("a value added")
            << mixed << "proxy"
            << "\u00E9t\u00E9" << mixed + "\"proxy\"=\"\xC3\xA9t\xC3\xA9\"\r\n";
        QTest::newRow("LF lines, the last without a line end")
            << QByteArray(
                   "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\VRNH\\Quillmark]\n\"a\"=\"1\"")
            << "b"
            << "2"
            << QByteArray("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\VRNH\\Quillmark]\n\"a\"="
                          "\"1\"\r\n\"b\"=\"2\"\r\n");
        QTest::newRow("byte-order mark, key added")
            << QByteArray("\xEF\xBB\xBFREGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Other]"
                          "\r\n\"x\"=\"\xE9\"\r\n")
            << "a"
            << "1"
            << QByteArray("\xEF\xBB\xBFREGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Other]"
                          "\r\n\"x\"=\"\xE9\"\r\n\r\n"
                          "[HKEY_LOCAL_MACHINE\\Software\\VRNH\\Quillmark]\r\n\"a\"=\"1\"\r\n");
    }
    void writeKeepsOtherLines() {
        QFETCH(QByteArray, original);
        QFETCH(QString, name);
        QFETCH(QString, value);
        QFETCH(QByteArray, expected);
        writeBytes(path(), original);
        const ino_t inode = inodeOf(path());
        RegistryStore reg(path());
        QVERIFY(reg.openKey(kKey, true));
        QVERIFY(reg.writeString(name, value));
        QCOMPARE(fileBytes(path()), expected);
        QCOMPARE(inodeOf(path()) == inode, expected == original); // not even rewritten
        RegistryStore again(path());
        QVERIFY(again.openKeyReadOnly(kKey));
        QCOMPARE(again.readString(name), value);
    }

    // A file that exists and cannot be read is never taken for an empty one.
    void unreadableFile() {
        QVERIFY(QDir().mkpath(path())); // a folder in its place: unreadable even by root
        RegistryStore reg(path());
        QVERIFY(!reg.openKeyReadOnly(kKey));
        QVERIFY(reg.cannotRead());
        QVERIFY2(reg.lastError().contains(path()), qPrintable(reg.lastError()));
        QVERIFY(!reg.openKey(kKey, true));
        QVERIFY(reg.cannotRead());
        QVERIFY(QDir().rmdir(path()));

        RegistryStore missing(path());
        QVERIFY(!missing.openKeyReadOnly(kKey));
        QVERIFY(!missing.cannotRead());
    }

    void heldFileIsNotWritten() {
        RegistryStore seed(path());
        QVERIFY(seed.openKey(kKey, true));
        QVERIFY(seed.writeString(QStringLiteral("a"), QStringLiteral("1")));
        const QByteArray before = fileBytes(path());
        {
            const platform::RegistryWriteHold hold(path(), QStringLiteral("held by the test"));
            QVERIFY(!seed.writeString(QStringLiteral("a"), QStringLiteral("2")));
            QVERIFY2(seed.lastError().contains(QStringLiteral("held by the test")),
                     qPrintable(seed.lastError()));
            RegistryStore other(path());
            QVERIFY(!other.openKey(QStringLiteral("\\Software\\VRNH\\Other"), true));
            QVERIFY(other.openKeyReadOnly(kKey)); // reading goes on
            QCOMPARE(other.readString(QStringLiteral("a")), QStringLiteral("1"));
            QCOMPARE(fileBytes(path()), before);
        }
        QVERIFY(seed.writeString(QStringLiteral("a"), QStringLiteral("2")));
    }

    void unwritableFile() {
        RegistryStore seed(path());
        QVERIFY(seed.openKey(kKey, true));
        QVERIFY(seed.writeString(QStringLiteral("a"), QStringLiteral("1")));
        const QByteArray before = fileBytes(path());
        testsupport::WriteBlock locked(path());
        QVERIFY(locked.isSet());
        RegistryStore reg(path());
        QVERIFY(!reg.openKey(kKey, true));
        QVERIFY(!reg.lastError().isEmpty());
        QVERIFY(reg.openKeyReadOnly(kKey));
        QCOMPARE(reg.readString(QStringLiteral("a")), QStringLiteral("1"));
        QVERIFY(!seed.writeString(QStringLiteral("a"), QStringLiteral("2")));
        QCOMPARE(fileBytes(path()), before);
        locked.lift();

        // A registry folder that cannot be made at all.
        writeBytes(m_dir.filePath(QStringLiteral("plainfile")), "x");
        RegistryStore nowhere(m_dir.filePath(QStringLiteral("plainfile/VRNH/registry.reg")));
        QVERIFY(!nowhere.openKey(kKey, true));
    }

    void twoWritersKeepBothValues() {
        QProcess a, b;
        const QStringList common{path(), kKey};
        a.start(QStringLiteral(REGISTRY_WRITER), common + QStringList{"first", "40"});
        b.start(QStringLiteral(REGISTRY_WRITER), common + QStringList{"second", "40"});
        QVERIFY(a.waitForFinished(60000));
        QVERIFY(b.waitForFinished(60000));
        QCOMPARE(a.exitCode(), 0);
        QCOMPARE(b.exitCode(), 0);
        RegistryStore reg(path());
        QVERIFY(reg.openKeyReadOnly(kKey));
        QCOMPARE(reg.valueNames().size(), 80);
        for (int i = 0; i < 40; ++i) {
            QCOMPARE(reg.readString(QStringLiteral("first%1").arg(i)), QString::number(i));
            QCOMPARE(reg.readString(QStringLiteral("second%1").arg(i)), QString::number(i));
        }
    }

    void staleLockDoesNotBlock() {
        // A lock file left by a process that is gone.
        QProcess p;
        p.start(QStringLiteral("/bin/true"));
        QVERIFY(p.waitForStarted());
        const qint64 deadPid = p.processId();
        QVERIFY(p.waitForFinished());
        writeBytes(path() + QStringLiteral(".lock"),
                   QByteArray::number(deadPid) + "\nregistry_writer\n" +
                       QSysInfo::machineHostName().toUtf8() + "\n");
        RegistryStore reg(path());
        QVERIFY(reg.openKey(kKey, true));
        QVERIFY(reg.writeString(QStringLiteral("a"), QStringLiteral("1")));

        // An empty lock file, left by a writer killed as it created it, goes stale by its age.
        writeBytes(path() + QStringLiteral(".lock"), QByteArray());
        QFile lock(path() + QStringLiteral(".lock"));
        QVERIFY(lock.open(QIODevice::ReadWrite));
        QVERIFY(lock.setFileTime(QDateTime::currentDateTime().addSecs(-60),
                                 QFileDevice::FileModificationTime));
        lock.close();
        QVERIFY(reg.writeString(QStringLiteral("a"), QStringLiteral("2")));
    }
};

QTEST_GUILESS_MAIN(TestRegistryStore)
#include "tst_registrystore.moc"
