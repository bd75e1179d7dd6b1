#include "platform/errors.h"
#include "platform/folders.h"
#include "support/testenv.h"
#include "support/unprivileged.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The desktop's folder variables for one test, put back as they were afterwards.
class XdgScope {
public:
    XdgScope() {
        for (const char* name : kNames)
            m_saved.append({name, qgetenv(name), qEnvironmentVariableIsSet(name)});
    }
    ~XdgScope() {
        for (const Saved& s : std::as_const(m_saved))
            s.wasSet ? qputenv(s.name, s.value) : qunsetenv(s.name);
    }
    static void set(const char* name, const QString& value) { qputenv(name, value.toUtf8()); }

private:
    static constexpr const char* kNames[] = {"HOME", "XDG_DATA_HOME", "XDG_DATA_DIRS",
                                             "XDG_CACHE_HOME", "XDG_CONFIG_HOME"};
    struct Saved {
        const char* name;
        QByteArray value;
        bool wasSet;
    };
    QList<Saved> m_saved;
};

void touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
}

} // namespace

class TestFolders : public QObject {
    Q_OBJECT

private slots:
    // Where the delivered data is found: the first candidate that holds the help file.
    void dataFolder_data() {
        QTest::addColumn<QStringList>("helpFiles"); // relative to the test's root
        QTest::addColumn<QString>("expected");
        QTest::newRow("installed beside the executable")
            << QStringList{"prefix/share/quillmark/quillmark.hlp", "sys/quillmark/quillmark.hlp"}
            << "prefix/share/quillmark/";
        QTest::newRow("a desktop data folder")
            << QStringList{"sys/quillmark/quillmark.hlp"} << "sys/quillmark/";
        QTest::newRow("the user's data folder, when it holds the help file")
            << QStringList{"home/.local/share/quillmark/quillmark.hlp",
                           "sys/quillmark/quillmark.hlp"}
            << "home/.local/share/quillmark/";
        QTest::newRow("the executable's own data before a desktop data folder")
            << QStringList{"prefix/bin/quillmark.hlp", "sys/quillmark/quillmark.hlp"}
            << "prefix/bin/";
        QTest::newRow("the executable's folder at last") << QStringList{} << "prefix/bin/";
        QTest::newRow("another program's data is not ours")
            << QStringList{"prefix/share/tidewell/tidewell.hlp", "sys/quillmark/metareq.txt"}
            << "prefix/bin/";
    }
    void dataFolder() {
        QFETCH(QStringList, helpFiles);
        QFETCH(QString, expected);
        QTemporaryDir root;
        XdgScope scope;
        XdgScope::set("HOME", root.filePath(QStringLiteral("home")));
        qunsetenv("XDG_DATA_HOME");
        XdgScope::set("XDG_DATA_DIRS", root.filePath(QStringLiteral("sys")));
        QDir().mkpath(root.filePath(QStringLiteral("prefix/bin")));
        // The user's lists alone do not make a data folder.
        touch(root.filePath(QStringLiteral("home/.local/share/quillmark/Required/metareq.txt")));
        for (const QString& f : helpFiles)
            touch(root.filePath(f));
        const platform::Folders folders = platform::programFolders(
            QStringLiteral("quillmark"), root.filePath(QStringLiteral("prefix/bin")));
        QCOMPARE(folders.data, root.path() + QLatin1Char('/') + expected);
    }

    void cacheAndUserData() {
        QTemporaryDir root;
        XdgScope scope;
        XdgScope::set("HOME", root.filePath(QStringLiteral("home")));
        qunsetenv("XDG_CACHE_HOME");
        qunsetenv("XDG_DATA_HOME");
        platform::Folders f = platform::programFolders(QStringLiteral("tidewell"), root.path());
        QCOMPARE(f.cache, root.filePath(QStringLiteral("home/.cache/tidewell/")));
        QCOMPARE(f.userData, root.filePath(QStringLiteral("home/.local/share/tidewell/")));
        XdgScope::set("XDG_CACHE_HOME", root.filePath(QStringLiteral("c")));
        XdgScope::set("XDG_DATA_HOME", root.filePath(QStringLiteral("d")));
        f = platform::programFolders(QStringLiteral("tidewell"), root.path());
        QCOMPARE(f.cache, root.filePath(QStringLiteral("c/tidewell/")));
        QCOMPARE(f.userData, root.filePath(QStringLiteral("d/tidewell/")));
        // Finding them makes nothing.
        QVERIFY(!QFileInfo::exists(root.filePath(QStringLiteral("c"))));
    }

    // An editable list is the default until the user's copy exists; writes go to the user's.
    void editableList() {
        testsupport::TestEnv env(testsupport::TestEnv::Layout::Separate);
        const platform::Folders f = env.folders();
        const QString list = QStringLiteral("Required/metareq.txt");
        QCOMPARE(f.listToRead(list), env.programFolder() + list);
        const QString written = f.listToWrite(list);
        QCOMPARE(written, env.userDataFolder() + list);
        QCOMPARE(testsupport::fileMode(env.userDataFolder()), mode_t(0700));
        QCOMPARE(testsupport::fileMode(env.userDataFolder() + QStringLiteral("Required")),
                 mode_t(0700));
        QCOMPARE(f.listToRead(list), env.programFolder() + list); // nothing written yet
        touch(written);
        QCOMPARE(f.listToRead(list), written);
    }

    void cacheFileMakesItsFolders() {
        testsupport::TestEnv env(testsupport::TestEnv::Layout::Separate);
        const QString file = env.folders().cacheFile(QStringLiteral("dorazo/temp.tgf"));
        QCOMPARE(file, env.cacheFolder() + QStringLiteral("dorazo/temp.tgf"));
        QCOMPARE(testsupport::fileMode(env.cacheFolder()), mode_t(0700));
        QCOMPARE(testsupport::fileMode(env.cacheFolder() + QStringLiteral("dorazo")), mode_t(0700));
        QVERIFY(!QFileInfo::exists(file));
    }

    // A folder that cannot be made or written is named in the error, as root too.
    void folderThatCannotBeMade() {
        QTemporaryDir root;
        touch(root.filePath(QStringLiteral("blocker")));
        const QString file = root.filePath(QStringLiteral("blocker/quillmark/Required/x.txt"));
        try {
            platform::prepareFolderOf(file);
            QFAIL("no error");
        } catch (const platform::EFCreateError& e) {
            QCOMPARE(e.path(), file);
            QVERIFY2(e.message().contains(QLatin1Char('"') +
                                          root.filePath(QStringLiteral("blocker")) +
                                          QLatin1Char('"')),
                     qPrintable(e.message()));
        }
    }

    void folderThatCannotBeWritten() {
        if (!testsupport::runsUnprivileged("folderThatCannotBeWritten"))
            return;
        QTemporaryDir root;
        const QString locked = root.filePath(QStringLiteral("locked"));
        QDir().mkpath(locked + QStringLiteral("/cache"));
        QFile::setPermissions(locked + QStringLiteral("/cache"),
                              QFile::ReadOwner | QFile::ExeOwner);
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
        for (const QString& folder :
             {locked + QStringLiteral("/cache"), locked + QStringLiteral("/new")}) {
            try {
                platform::prepareFolder(folder);
                QFAIL(qPrintable(folder));
            } catch (const platform::EFCreateError& e) {
                QVERIFY2(e.message().contains(QLatin1Char('"') + folder + QLatin1Char('"')),
                         qPrintable(e.message()));
            }
        }
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::setPermissions(locked + QStringLiteral("/cache"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void dialogStartFolder() {
        QTemporaryDir root;
        XdgScope scope;
        XdgScope::set("HOME", root.path());
        XdgScope::set("XDG_CONFIG_HOME", root.filePath(QStringLiteral("config")));
        QCOMPARE(platform::dialogStartFolder(QStringLiteral("/srv/results")),
                 QStringLiteral("/srv/results"));
        QCOMPARE(platform::dialogStartFolder(QString()), root.path()); // no documents folder
        QDir().mkpath(root.filePath(QStringLiteral("Documents")));
        QCOMPARE(platform::dialogStartFolder(QString()),
                 root.filePath(QStringLiteral("Documents")));
    }
};

QTEST_GUILESS_MAIN(TestFolders)
#include "tst_folders.moc"
