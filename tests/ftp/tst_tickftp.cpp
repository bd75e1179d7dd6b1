#include "ftpserver.h"
#include "support/latencyprobe.h"
#include "updater/ftp/ineterrors.h"
#include "updater/ftp/tickftp.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest/qtestspontaneevent.h>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace ftp;
using testsupport::FtpServer;

namespace {

QByteArray pattern(int size) {
    QByteArray b(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        b[i] = char((i * 7 + i / 251) & 0xff); // holds CR and LF bytes too
    return b;
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every event an instance raises, as text, in order.
struct Recorder {
    QStringList log;
    explicit Recorder(TickFTP& f) {
        f.OnStartTransfer = [this](TickFTP&) { log << "start"; };
        f.OnTransfer = [this](TickFTP&, qint64 n, const QByteArray& text) {
            log << QStringLiteral("transfer %1%2")
                       .arg(n)
                       .arg(text.isEmpty() ? QString() : QStringLiteral(" +%1").arg(text.size()));
        };
        f.OnDirList = [this](TickFTP&, const QString& name, bool dir, qint64 size,
                             const QString& date, const QString& time) {
            log << QStringLiteral("dir %1 %2 %3 %4 %5")
                       .arg(name)
                       .arg(dir ? "d" : "f")
                       .arg(size)
                       .arg(date, time);
        };
        f.OnEndTransfer = [this](TickFTP&) { log << "end"; };
        f.OnStatus = [this](TickFTP&, int code, const QString&) {
            log << QStringLiteral("status %1").arg(code);
        };
    }
    QStringList without(const QString& prefix) const {
        QStringList out;
        for (const QString& s : log)
            if (!s.startsWith(prefix))
                out << s;
        return out;
    }
};

// The code and message of a failed action; 0 when it succeeded.
struct Outcome {
    int code = 0;
    QString message;
};

Outcome attempt(const std::function<void()>& f) {
    try {
        f();
    } catch (const EickFTP& e) {
        return {e.code(), e.message()};
    }
    return {};
}

} // namespace

class TestTickFtp : public QObject {
    Q_OBJECT

    QTemporaryDir m_root;
    QTemporaryDir m_local;
    FtpServer m_server;
    QByteArray m_data;

    void setUp(TickFTP& f, bool passive = false) {
        f.setPort(m_server.port());
        f.setRemoteHost(QStringLiteral("127.0.0.1"));
        f.setUser(QStringLiteral("qmzvb"));
        f.setPassword(QStringLiteral("qmz7719"));
        f.setPassive(passive);
        f.setUseCache(false);
    }
    QString local(const QString& name) const { return m_local.filePath(name); }

private slots:
    void initTestCase() {
        qunsetenv("ftp_proxy");
        qunsetenv("all_proxy");
        qunsetenv("ALL_PROXY");
        m_data = pattern(10000);
        writeBytes(m_root.filePath("data.bin"), m_data);
        writeBytes(m_root.filePath("empty.txt"), QByteArray());
        writeBytes(m_root.filePath("text.txt"), "first\r\nsecond\r\n");
        writeBytes(m_root.filePath("where.txt"), "root");
        writeBytes(m_root.filePath("sub/where.txt"), "sub");
        writeBytes(m_root.filePath("list/a.txt"), "aaaa");
        writeBytes(m_root.filePath("list/b.txt"), "bb");
        writeBytes(m_root.filePath("list/c.dat"), "c");
        QDir().mkpath(m_root.filePath("list/folder"));
        writeBytes(m_root.filePath("big.bin"), pattern(1 << 20));
        writeBytes(m_root.filePath("stall.bin"), "never sent");
        QDir().mkpath(m_root.filePath("work"));
        QVERIFY(m_server.start(m_root.path()));
    }

    void download_data() {
        QTest::addColumn<bool>("passive");
        QTest::newRow("active") << false;
        QTest::newRow("passive") << true;
    }
    // Logon, a change of directory and a binary download: the exact events and bytes.
    void download() {
        QFETCH(bool, passive);
        TickFTP f;
        setUp(f, passive);
        Recorder r(f);
        f.setAction(ickftpLogon);
        QVERIFY(f.connected());
        f.setRemotePath(QStringLiteral("sub/"));
        f.setRemotePath(QStringLiteral("../"));
        f.setRemoteFile(QStringLiteral("data.bin"));
        f.setLocalFile(local("data.bin"));
        f.setTransferMode(icktmBinary);
        f.setAction(ickftpDownload);
        f.setAction(ickftpLogoff);
        QCOMPARE(r.log, (QStringList{"status 20", "status 21", "status 31", "status 31", "start",
                                     "transfer 4096", "transfer 8192", "transfer 10000", "end",
                                     "status 51"}));
        QCOMPARE(readBytes(local("data.bin")), m_data);
        QVERIFY(!f.connected());
    }

    void exchange_data() {
        QTest::addColumn<QString>("hostile"); // the hostile server's mode; empty: pyftpdlib
        QTest::addColumn<bool>("passive");
        QTest::addColumn<QStringList>("dataConnection");
        QTest::newRow("active") << QString() << false << QStringList{"EPRT |1|127.0.0.1|*|"};
        QTest::newRow("passive") << QString() << true << QStringList{"EPSV"};
        QTest::newRow("active, EPRT refused")
            << "trickle" << false << QStringList{"EPRT |1|127.0.0.1|*|", "PORT 127,0,0,1,*"};
        QTest::newRow("passive, EPSV refused")
            << "pasv-foreign" << true << QStringList{"EPSV", "PASV"};
    }
    // What the server receives for a Logon, a download and a Logoff, line by line.
    void exchange() {
        QFETCH(QString, hostile);
        QFETCH(bool, passive);
        QFETCH(QStringList, dataConnection);
        FtpServer server;
        QVERIFY(hostile.isEmpty() ? server.start(m_root.path()) : server.startHostile(hostile));
        TickFTP f;
        setUp(f, passive);
        f.setPort(server.port());
        f.setAction(ickftpLogon);
        f.setRemotePath(QStringLiteral("sub/"));
        f.setRemoteFile(QStringLiteral("where.txt"));
        f.setLocalFile(local("exchange.txt"));
        f.setTransferMode(icktmBinary);
        f.setAction(ickftpDownload);
        f.setAction(ickftpLogoff);
        // TLS asked for and refused; the login directory first, then the path from there; the
        // data connection is set up before the type, and the size asked before the file.
        const QStringList expected =
            QStringList{"AUTH TLS", "AUTH SSL", "USER qmzvb", "PASS qmz7719",
                        "PWD",      "CWD /",    "CWD sub"} +
            dataConnection + QStringList{"TYPE I", "SIZE where.txt", "RETR where.txt", "QUIT"};
        QCOMPARE(testsupport::portsMasked(server.commands()), expected);
        QCOMPARE(readBytes(local("exchange.txt")),
                 hostile.isEmpty() ? QByteArray("sub")
                                   : QByteArray("hostile data\n").repeated(1000));
    }

    void tls_data() {
        QTest::addColumn<bool>("serverTls");
        QTest::addColumn<QString>("caFile"); // "ca": the test's CA; "": the system's store
        QTest::addColumn<bool>("require");
        QTest::addColumn<bool>("passive");
        QTest::addColumn<QString>("failure"); // what the failure's message holds; empty: none
        QTest::newRow("offered, active") << true << "ca" << false << false << QString();
        QTest::newRow("offered, passive") << true << "ca" << false << true << QString();
        QTest::newRow("offered and required") << true << "ca" << true << false << QString();
        QTest::newRow("unknown CA")
            << true << "" << false << false << "12157: SSL certificate problem";
        QTest::newRow("unknown CA, required")
            << true << "" << true << true << "12157: SSL certificate problem";
        QTest::newRow("CA file missing")
            << true << "/nonexistent/ca.pem" << false << false
            << "12157: error setting certificate file: /nonexistent/ca.pem";
        QTest::newRow("plain server") << false << "ca" << false << false << QString();
        QTest::newRow("plain server, required")
            << false << "ca" << true << false
            << "12157: The server offers no encrypted connection, and one is required.";
    }
    // TLS whenever the server offers it, checked against the CA file; plain only where allowed.
    void tls() {
        QFETCH(bool, serverTls);
        QFETCH(QString, caFile);
        QFETCH(bool, require);
        QFETCH(bool, passive);
        QFETCH(QString, failure);
        testsupport::TestCertificates certs;
        QVERIFY(certs.make());
        FtpServer server;
        QVERIFY(server.start(m_root.path(),
                             serverTls ? QStringList{"--tls", certs.serverFile()} : QStringList{}));
        TickFTP f;
        setUp(f, passive);
        f.setPort(server.port());
        f.setRequireTls(require);
        // Without the test's CA the system's store is used, which does not know it.
        f.setCaFile(caFile == "ca" ? certs.caFile() : caFile);
        f.setRemoteFile(QStringLiteral("where.txt"));
        f.setLocalFile(local("tls.txt"));
        QFile::remove(local("tls.txt"));
        const Outcome o = attempt([&] {
            f.setAction(ickftpLogon);
            f.setAction(ickftpDownload);
            f.setAction(ickftpLogoff);
        });
        const QStringList commands = server.commands();
        if (!failure.isEmpty()) {
            QVERIFY2(o.message.startsWith(failure), qPrintable(o.message));
            QVERIFY(!QFileInfo::exists(local("tls.txt")));
            // Neither the login nor anything else is sent over a connection that failed.
            QVERIFY(!commands.contains("USER qmzvb"));
            return;
        }
        QCOMPARE(o.message, QString());
        QCOMPARE(readBytes(local("tls.txt")), QByteArray("root"));
        if (serverTls) {
            QCOMPARE(commands.mid(0, 5),
                     (QStringList{"AUTH TLS", "USER qmzvb", "PASS qmz7719", "PBSZ 0", "PROT P"}));
            // A protected data connection is always the client's own, also in active mode.
            QVERIFY(commands.contains("EPSV"));
            QVERIFY(!commands.filter(QRegularExpression("^(EPRT|PORT) ")).size());
        } else
            QCOMPARE(commands.mid(0, 3), (QStringList{"AUTH TLS", "AUTH SSL", "USER qmzvb"}));
    }

    void downloadToMemoryAndAscii() {
        TickFTP f;
        setUp(f);
        Recorder r(f);
        QByteArray got;
        f.OnTransfer = [&](TickFTP&, qint64, const QByteArray& text) { got += text; };
        f.setRemoteFile(QStringLiteral("text.txt"));
        f.setTransferMode(icktmASCII);
        f.setAction(ickftpDownload); // logs on by itself
        QVERIFY(f.connected());
        // ASCII mode drops the CR of CR LF on this platform.
        QCOMPARE(got, QByteArray("first\nsecond\n"));
        QCOMPARE(r.log, (QStringList{"status 20", "status 21", "start", "end"}));
    }

    // RemotePath before Logon is only stored; set again on the connection it changes directory.
    void remotePathTakesEffectOnConnection() {
        TickFTP f;
        setUp(f);
        f.setRemotePath(QStringLiteral("sub"));
        f.setAction(ickftpLogon);
        f.setRemoteFile(QStringLiteral("where.txt"));
        f.setLocalFile(local("where.txt"));
        f.setAction(ickftpDownload);
        QCOMPARE(readBytes(local("where.txt")), QByteArray("root"));
        f.setRemotePath(QStringLiteral("sub"));
        f.setAction(ickftpDownload);
        QCOMPARE(readBytes(local("where.txt")), QByteArray("sub"));
        // A new Logon starts in the login directory again.
        f.setAction(ickftpLogon);
        f.setAction(ickftpDownload);
        QCOMPARE(readBytes(local("where.txt")), QByteArray("root"));
    }

    // An empty file: no start, no transfer, one end; the local file exists, empty, replacing
    // a longer one.
    void emptyFileReplacesLocal() {
        TickFTP f;
        setUp(f);
        f.setAction(ickftpLogon);
        Recorder r(f);
        writeBytes(local("empty.txt"), "old contents that must go");
        f.setRemoteFile(QStringLiteral("empty.txt"));
        f.setLocalFile(local("empty.txt"));
        f.setAction(ickftpDownload);
        QCOMPARE(r.log, QStringList{"end"});
        QVERIFY(QFileInfo::exists(local("empty.txt")));
        QCOMPARE(QFileInfo(local("empty.txt")).size(), 0);

        writeBytes(local("data2.bin"), QByteArray(20000, 'x'));
        f.setRemoteFile(QStringLiteral("data.bin"));
        f.setLocalFile(local("data2.bin"));
        f.setAction(ickftpDownload);
        QCOMPARE(readBytes(local("data2.bin")), m_data);
    }

    void listing_data() {
        QTest::addColumn<bool>("passive");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("mask, active") << false << "*.txt" << QStringList{"a.txt 4", "b.txt 2"};
        QTest::newRow("mask, passive") << true << "*.TXT" << QStringList{"a.txt 4", "b.txt 2"};
        QTest::newRow("one name") << false << "c.dat" << QStringList{"c.dat 1"};
        QTest::newRow("no match") << false << "*.zip" << QStringList{};
    }
    void listing() {
        QFETCH(bool, passive);
        QFETCH(QString, mask);
        QFETCH(QStringList, names);
        TickFTP f;
        setUp(f, passive);
        f.setAction(ickftpLogon);
        f.setRemotePath(QStringLiteral("list/"));
        Recorder r(f);
        f.setRemoteFile(mask);
        f.setAction(ickftpListDirectoryLong);
        QCOMPARE(r.log.first(), QStringLiteral("start"));
        QCOMPARE(r.log.last(), QStringLiteral("end"));
        QCOMPARE(r.log.size(), names.size() + 2);
        const QRegularExpression entry(
            QStringLiteral("^dir (\\S+) f (\\d+) \\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:00$"));
        QStringList seen;
        for (int i = 1; i + 1 < r.log.size(); ++i) {
            const auto m = entry.match(r.log[i]);
            QVERIFY2(m.hasMatch(), qPrintable(r.log[i]));
            seen << m.captured(1) + " " + m.captured(2);
        }
        seen.sort();
        QCOMPARE(seen, names);
    }

    void listingEveryEntry() {
        TickFTP f;
        setUp(f);
        f.setAction(ickftpLogon);
        f.setRemotePath(QStringLiteral("list"));
        QStringList dirs, all;
        f.OnDirList = [&](TickFTP&, const QString& name, bool dir, qint64, const QString&,
                          const QString&) {
            all << name;
            if (dir)
                dirs << name;
        };
        f.setAction(ickftpListDirectoryLong);
        all.sort();
        QCOMPARE(all, (QStringList{"a.txt", "b.txt", "c.dat", "folder"}));
        QCOMPARE(dirs, QStringList{"folder"});
    }

    void failures_data() {
        QTest::addColumn<QString>("what");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("wrong password")
            << "password" << 12015 << "12015: 530 Authentication failed.";
        QTest::newRow("missing file")
            << "file" << 12003 << "12003: 550 /missing.bin is not retrievable.";
        QTest::newRow("missing directory")
            << "directory" << 12003 << "12003: 550 No such file or directory.";
        QTest::newRow("empty host") << "host" << 102 << "102: The RemoteHost address is invalid";
        QTest::newRow("nobody listens")
            << "port" << 12029 << "12029: [12029] Internet Cannot Connect.";
        QTest::newRow("host that is no name")
            << "badhost" << 12007 << "12007: [12007] Internet Name Not Resolved.";
        QTest::newRow("local file cannot be created")
            << "local" << 302 << "302: Can't open LocalFile";
        QTest::newRow("local file cannot be written") << "full" << 144 << "144: Local file error.";
    }
    void failures() {
        QFETCH(QString, what);
        TickFTP f;
        setUp(f);
        Recorder r(f);
        f.setRemoteFile(QStringLiteral("data.bin"));
        f.setLocalFile(local("failure.bin"));
        QFile::remove(local("failure.bin"));
        std::function<void()> act = [&] { f.setAction(ickftpDownload); };
        if (what == "password")
            f.setPassword(QStringLiteral("wrong"));
        else if (what == "file")
            f.setRemoteFile(QStringLiteral("missing.bin"));
        else if (what == "directory")
            act = [&] {
                f.setAction(ickftpLogon);
                f.setRemotePath(QStringLiteral("nope/"));
            };
        else if (what == "host")
            f.setRemoteHost(QString());
        else if (what == "port")
            f.setPort(testsupport::closedPort());
        else if (what == "badhost")
            f.setRemoteHost(QStringLiteral("user@127.0.0.1/x"));
        else if (what == "local")
            f.setLocalFile(local("no/such/folder/x.bin"));
        else if (what == "full")
            f.setLocalFile(QStringLiteral("/dev/full")); // every write fails: no space
        int blocks = 0;
        f.OnTransfer = [&](TickFTP&, qint64, const QByteArray&) { ++blocks; };
        const Outcome o = attempt(act);
        QTEST(o.code, "code");
        QTEST(o.message, "message");
        // Only a download whose remote file was opened ends with OnEndTransfer; a failed
        // download leaves no local file.
        QCOMPARE(r.without("status").contains("end"), what == "local" || what == "full");
        // A failed write ends the download: no block after the first read's is announced.
        QVERIFY(blocks <= 2);
        QVERIFY(!QFileInfo::exists(local("failure.bin")));
        // The instance stays usable.
        setUp(f);
        f.setRemoteFile(QStringLiteral("where.txt"));
        f.setLocalFile(local("after.txt"));
        f.setAction(ickftpLogon);
        f.setAction(ickftpDownload);
        QCOMPARE(readBytes(local("after.txt")), QByteArray("root"));
    }

    // A handler stops the download: the action returns normally after OnEndTransfer, and the
    // next action connects afresh.
    void stopFromHandler() {
        TickFTP f;
        setUp(f);
        Recorder r(f);
        int blocks = 0;
        f.OnTransfer = [&](TickFTP& s, qint64, const QByteArray&) {
            r.log << "transfer";
            if (++blocks == 3)
                s.setAction(ickftpIdle);
        };
        f.setRemoteFile(QStringLiteral("big.bin"));
        f.setLocalFile(local("big.bin"));
        f.setAction(ickftpDownload);
        QCOMPARE(r.without("status"),
                 (QStringList{"start", "transfer", "transfer", "transfer", "end"}));
        QVERIFY(!f.connected());
        QCOMPARE(QFileInfo(local("big.bin")).size(), 3 * 4096);
        f.OnTransfer = nullptr;
        f.setAction(ickftpDownload);
        QCOMPARE(QFileInfo(local("big.bin")).size(), 1 << 20);
    }

    void timeoutOnStall_data() {
        QTest::addColumn<bool>("passive");
        QTest::newRow("active") << false;
        QTest::newRow("passive") << true;
    }
    void timeoutOnStall() {
        QFETCH(bool, passive);
        TickFTP f;
        setUp(f, passive);
        f.setTimeout(1);
        f.setRemoteFile(QStringLiteral("stall.bin"));
        f.setLocalFile(local("stall.bin"));
        QElapsedTimer t;
        t.start();
        const Outcome o = attempt([&] { f.setAction(ickftpDownload); });
        QCOMPARE(o.code, 301);
        QCOMPARE(o.message, QStringLiteral("301: Interrupted."));
        QVERIFY(t.elapsed() < 10000);
        QVERIFY(!f.busy());
        f.setTimeout(0);
        f.setRemoteFile(QStringLiteral("where.txt"));
        f.setLocalFile(local("where2.txt"));
        f.setAction(ickftpDownload);
        QCOMPARE(readBytes(local("where2.txt")), QByteArray("root"));
    }

    // A close request from the window system during a transfer ends it and the wait: 259.
    // A close the program makes itself (a dialog closed by its button) does not.
    void closeDuringTransfer_data() {
        QTest::addColumn<bool>("fromWindowSystem");
        QTest::newRow("window system") << true;
        QTest::newRow("the program's own") << false;
    }
    void closeDuringTransfer() {
        QFETCH(bool, fromWindowSystem);
        TickFTP f;
        setUp(f);
        QObject window;
        int blocks = 0;
        f.OnTransfer = [&](TickFTP&, qint64, const QByteArray&) {
            if (++blocks == 2) {
                // As the window system delivers it (sendEvent would clear the mark).
                QEvent close(QEvent::Close);
                if (fromWindowSystem)
                    QSpontaneKeyEvent::setSpontaneous(&close);
                QCoreApplication::instance()->notify(&window, &close);
            }
        };
        f.setRemoteFile(QStringLiteral("big.bin"));
        f.setLocalFile(local("closed.bin"));
        const Outcome o = attempt([&] { f.setAction(ickftpDownload); });
        QVERIFY(!f.busy());
        if (!fromWindowSystem) {
            QCOMPARE(o.code, 0);
            QCOMPARE(blocks, 256); // 1 MiB in full blocks
            return;
        }
        QCOMPARE(o.code, 259);
        QCOMPARE(o.message, QStringLiteral("259: Error waiting for worker thread."));
        QCOMPARE(blocks, 2);
        f.OnTransfer = nullptr;
        f.setAction(ickftpDownload);
        QCOMPARE(QFileInfo(local("closed.bin")).size(), 1 << 20);
    }

    // A quit request posted while the transfer stalls ends the wait too.
    void quitDuringStall() {
        TickFTP f;
        setUp(f);
        f.setRemoteFile(QStringLiteral("stall.bin"));
        f.setLocalFile(local("quit.bin"));
        QTimer::singleShot(300, [] {
            QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::Quit));
        });
        const Outcome o = attempt([&] { f.setAction(ickftpDownload); });
        QCOMPARE(o.code, 259);
        QVERIFY(!f.busy());
    }

    // While an action runs, another action and a change of RemotePath fail with 143.
    void busyInstance() {
        TickFTP f;
        setUp(f);
        Outcome action, path;
        int blocks = 0;
        f.OnTransfer = [&](TickFTP& s, qint64, const QByteArray&) {
            if (++blocks == 1) {
                action = attempt([&] { s.setAction(ickftpDownload); });
                path = attempt([&] { s.setRemotePath(QStringLiteral("sub")); });
            }
        };
        f.setRemoteFile(QStringLiteral("data.bin"));
        f.setLocalFile(local("busy.bin"));
        f.setAction(ickftpDownload);
        QCOMPARE(action.code, 143);
        QCOMPARE(action.message, QStringLiteral("143: Busy performing current action"));
        QCOMPARE(path.code, 143);
        QCOMPARE(path.message, QStringLiteral("143: Busy performing current action."));
        QCOMPARE(f.RemotePath(), QString());
        QCOMPARE(readBytes(local("busy.bin")), m_data);
    }

    // The server closes an idle connection; the next action reconnects by itself.
    void reconnectAfterIdleTimeout() {
        FtpServer quick;
        QVERIFY(quick.start(m_root.path(), {"--idle", "1"}));
        TickFTP f;
        setUp(f);
        f.setPort(quick.port());
        f.setAction(ickftpLogon);
        f.setRemotePath(QStringLiteral("sub"));
        QTest::qWait(2500);
        f.setRemoteFile(QStringLiteral("where.txt"));
        f.setLocalFile(local("idle.txt"));
        f.setAction(ickftpDownload);
        QCOMPARE(readBytes(local("idle.txt")), QByteArray("sub"));
    }

    // The proxy is chosen once, at the instance's first Logon.
    void proxyOnlyAtFirstLogon() {
        const QString deadProxy = QStringLiteral("127.0.0.1:%1").arg(testsupport::closedPort());
        TickFTP f;
        setUp(f);
        f.setAction(ickftpLogon);
        f.setAction(ickftpLogoff);
        f.setProxyServer(deadProxy);
        f.setAction(ickftpLogon);
        QVERIFY(f.connected());

        TickFTP g;
        setUp(g);
        g.setProxyServer(deadProxy);
        g.setProxyUser(QStringLiteral("pu"));
        g.setProxyPassword(QStringLiteral("pp"));
        const Outcome o = attempt([&] { g.setAction(ickftpLogon); });
        QCOMPARE(o.code, 12165);
        QCOMPARE(o.message, QStringLiteral("12165: [12165] Internet Proxy Server Unreachable."));
    }

    // The actions the updater does not use, in one round trip.
    void otherActions() {
        TickFTP f;
        setUp(f);
        f.setAction(ickftpLogon);
        f.setRemotePath(QStringLiteral("work"));
        writeBytes(local("up.bin"), m_data);
        Recorder r(f);
        f.setLocalFile(local("up.bin"));
        f.setRemoteFile(QStringLiteral("up.bin"));
        f.setAction(ickftpUpload);
        QCOMPARE(readBytes(m_root.filePath("work/up.bin")), m_data);
        QCOMPARE(r.log,
                 (QStringList{"start", "transfer 4096", "transfer 8192", "transfer 10000", "end"}));
        f.setRenameTo(QStringLiteral("renamed.bin"));
        f.setAction(ickftpRenameFile);
        QVERIFY(QFileInfo::exists(m_root.filePath("work/renamed.bin")));
        f.setRemoteFile(QStringLiteral("made"));
        f.setAction(ickftpMakeDirectory);
        QVERIFY(QFileInfo(m_root.filePath("work/made")).isDir());
        QStringList names;
        f.OnDirList = [&](TickFTP&, const QString& n, bool, qint64, const QString&,
                          const QString&) { names << n; };
        f.setRemoteFile(QString());
        f.setAction(ickftpListDirectory);
        names.sort();
        QCOMPARE(names, (QStringList{"made", "renamed.bin"}));
        f.setRemoteFile(QStringLiteral("made"));
        f.setAction(ickftpRemoveDirectory);
        f.setRemoteFile(QStringLiteral("renamed.bin"));
        f.setAction(ickftpDeleteFile);
        QVERIFY(QDir(m_root.filePath("work")).isEmpty());
        // A name that would smuggle a second command is refused.
        f.setRemoteFile(QStringLiteral("x\r\nDELE where.txt"));
        QCOMPARE(attempt([&] { f.setAction(ickftpDeleteFile); }).code, 87);
        QCOMPARE(attempt([&] { f.setAction(TickftpActions(14)); }).message,
                 QStringLiteral("87: Invalid Action value"));
    }

    void bounds_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("binary");
        QTest::addColumn<qint64>("cap");
        QTest::addColumn<int>("stall");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("fewer bytes than SIZE, then 226")
            << "short-sized" << true << qint64(0) << 60 << 12111
            << "12111: Received 6500 of the 13000 bytes announced.";
        QTest::newRow("more bytes than SIZE")
            << "long-sized" << true << qint64(0) << 60 << 12030
            << "12030: Received more than the 13000 bytes announced.";
        QTest::newRow("endless file past the cap")
            << "endless" << false << qint64(65536) << 60 << 12030
            << "12030: The file is larger than the 65536 bytes allowed.";
        QTest::newRow("50 MB line past the cap")
            << "big-line" << false << qint64(65536) << 60 << 12030
            << "12030: The file is larger than the 65536 bytes allowed.";
        QTest::newRow("data stops coming") << "stall-data" << true << qint64(0) << 2 << 12002
                                           << "12002: Nothing came from the server for 2 seconds.";
        QTest::newRow("reply never comes") << "stall-reply" << true << qint64(0) << 2 << 12002
                                           << "12002: Nothing came from the server for 2 seconds.";
        QTest::newRow("greeting never comes")
            << "stall-greeting" << true << qint64(0) << 2 << 12002
            << "12002: Nothing came from the server for 2 seconds.";
        // Slow but steady is no stall: 10 bytes every 0.25 s for 5 s.
        QTest::newRow("trickle slower than the stall time")
            << "drip" << true << qint64(0) << 1 << 0 << QString();
    }
    // A download gets exactly what was announced, within the cap, or fails once with its cause;
    // a stall is not tried again, and the caller's events keep flowing meanwhile.
    void bounds() {
        QFETCH(QString, mode);
        QFETCH(bool, binary);
        QFETCH(qint64, cap);
        QFETCH(int, stall);
        QFETCH(int, code);
        FtpServer bad;
        QVERIFY(bad.startHostile(mode));
        TickFTP f;
        setUp(f);
        f.setPort(bad.port());
        f.setStallTimeout(stall);
        f.setMaxSize(cap);
        f.setTransferMode(binary ? icktmBinary : icktmASCII);
        f.setRemoteFile(QStringLiteral("file.bin"));
        f.setLocalFile(local("bounds.bin"));
        QElapsedTimer clock;
        clock.start();
        testsupport::LatencyProbe probe;
        const Outcome o = attempt([&] {
            f.setAction(ickftpLogon);
            f.setAction(ickftpDownload);
        });
        probe.stop();
        QCOMPARE(o.code, code);
        QTEST(o.message, "message");
        qInfo("worst event loop latency: %lld ms", probe.worstMs());
        QVERIFY2(probe.worstMs() < 100, qPrintable(QString::number(probe.worstMs())));
        if (code == 12002) {
            // The transfer rate is an average over the last few seconds, so a stall after data
            // shows a little later than one before any; a second try would take as long again.
            const qint64 lag = mode == "stall-data" ? 6000 : 0;
            qInfo("stall ended after %lld ms", clock.elapsed());
            QVERIFY(clock.elapsed() >= stall * 1000 - 100);
            QVERIFY2(clock.elapsed() < 2 * stall * 1000 + lag, "a stall was tried again");
        }
        if (code == 0)
            QCOMPARE(readBytes(local("bounds.bin")), QByteArray(200, 'd'));
        else if (cap > 0)
            QVERIFY(QFileInfo(local("bounds.bin")).size() <= cap);
    }

    void foreignDataConnection_data() {
        QTest::addColumn<bool>("intruder");
        QTest::newRow("only the server connects") << false;
        QTest::newRow("another address connects first") << true;
    }
    // In active mode the data port takes the file from the server's address only.
    void foreignDataConnection() {
        QFETCH(bool, intruder);
        FtpServer bad;
        QVERIFY(bad.startHostile(QStringLiteral("port-late")));
        TickFTP f;
        setUp(f);
        f.setPort(bad.port());
        f.setTransferMode(icktmBinary);
        f.setRemoteFile(QStringLiteral("file.bin"));
        f.setLocalFile(local("foreign.bin"));
        int sock = -1;
        QTimer watch;
        watch.setInterval(5);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (!intruder || sock >= 0)
                return;
            for (const QString& c : bad.commands()) {
                if (!c.startsWith(QLatin1String("PORT ")))
                    continue;
                const QStringList n = c.mid(5).split(QLatin1Char(','));
                sockaddr_in self{}, to{};
                self.sin_family = to.sin_family = AF_INET;
                inet_pton(AF_INET, "127.0.0.2", &self.sin_addr);
                inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
                to.sin_port = htons(quint16(n[4].toInt() * 256 + n[5].toInt()));
                sock = ::socket(AF_INET, SOCK_STREAM, 0);
                QCOMPARE(::bind(sock, reinterpret_cast<sockaddr*>(&self), sizeof self), 0);
                QCOMPARE(::connect(sock, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
                const char junk[] = "forged package";
                QVERIFY(::write(sock, junk, sizeof junk) > 0);
            }
        });
        watch.start();
        const Outcome o = attempt([&] {
            f.setAction(ickftpLogon);
            f.setAction(ickftpDownload);
        });
        watch.stop();
        if (sock >= 0)
            ::close(sock);
        if (intruder) {
            QVERIFY(sock >= 0);
            QCOMPARE(o.code, 12030);
            QCOMPARE(o.message, QStringLiteral("12030: A data connection came from another "
                                               "address than the server's."));
            QVERIFY(!readBytes(local("foreign.bin")).contains("forged"));
        } else {
            QCOMPARE(o.code, 0);
            QCOMPARE(readBytes(local("foreign.bin")), QByteArray("hostile data\n").repeated(1000));
        }
    }

    void hostile_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("passive");
        QTest::newRow("PASV names another address") << "pasv-foreign" << true;
        QTest::newRow("overlong reply line") << "long-reply" << false;
        QTest::newRow("connection dropped midway") << "drop-midway" << false;
        QTest::newRow("listing lines that cannot be parsed") << "bad-listing" << true;
        QTest::newRow("greeting never comes") << "stall-greeting" << false;
        QTest::newRow("data in pieces that split blocks") << "trickle" << false;
    }
    // Each ends with a defined code (or works), and the instance stays usable afterwards.
    void hostile() {
        QFETCH(QString, mode);
        QFETCH(bool, passive);
        FtpServer bad;
        QVERIFY(bad.startHostile(mode));
        TickFTP f;
        setUp(f, passive);
        f.setPort(bad.port());
        f.setTimeout(3);
        Recorder r(f);
        QStringList listed;
        f.OnDirList = [&](TickFTP&, const QString& n, bool, qint64, const QString&,
                          const QString&) { listed << n; };
        f.setLocalFile(local("hostile.bin"));
        f.setRemoteFile(QStringLiteral("file.bin"));
        Outcome o;
        if (mode == "bad-listing") {
            f.setRemoteFile(QString());
            o = attempt([&] { f.setAction(ickftpListDirectoryLong); });
        } else {
            o = attempt([&] { f.setAction(ickftpDownload); });
        }
        if (mode == "pasv-foreign") {
            // The address of the reply is never used: the data came from the server's own.
            QCOMPARE(o.code, 0);
            QCOMPARE(readBytes(local("hostile.bin")), QByteArray("hostile data\n").repeated(1000));
        } else if (mode == "long-reply") {
            // The reply text stays within its limit, and so does the message.
            QCOMPARE(o.code, 12003);
            QVERIFY(o.message.startsWith("12003: 550 xxx"));
            QVERIFY(o.message.size() <= 2048 + 7);
            QVERIFY(f.LastReply().size() <= 2048);
        } else if (mode == "drop-midway") {
            QVERIFY2(o.code == 12111 || o.code == 12031, qPrintable(o.message));
            QCOMPARE(r.without("status").first(), QStringLiteral("start"));
            QCOMPARE(r.without("status").last(), QStringLiteral("end"));
        } else if (mode == "trickle") {
            // Blocks are made whole across reads, each written once, in order.
            QCOMPARE(o.code, 0);
            QCOMPARE(r.without("status"), (QStringList{"start", "transfer 4096", "transfer 8192",
                                                       "transfer 12288", "transfer 13000", "end"}));
            QCOMPARE(readBytes(local("hostile.bin")), QByteArray("hostile data\n").repeated(1000));
        } else if (mode == "bad-listing") {
            QCOMPARE(o.code, 0);
            QCOMPARE(listed, (QStringList{"good1.txt", "good2"}));
        } else {
            QCOMPARE(o.code, 301);
        }
        // Usable afterwards, against the real server.
        setUp(f);
        f.setTimeout(0);
        f.OnDirList = nullptr;
        f.setRemoteFile(QStringLiteral("where.txt"));
        f.setLocalFile(local("after-hostile.txt"));
        f.setAction(ickftpLogon);
        f.setAction(ickftpDownload);
        QCOMPARE(readBytes(local("after-hostile.txt")), QByteArray("root"));
    }
};

QTEST_GUILESS_MAIN(TestTickFtp)
#include "tst_tickftp.moc"
