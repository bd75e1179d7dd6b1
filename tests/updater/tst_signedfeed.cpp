#include "ftpserver.h"
#include "support/tidewellharness.h"
#include "support/unprivileged.h"
#include "updater/mainwindow.h"
#include "updater/settingswindow.h"
#include "updater/signing.h"
#include "updater/versionfile.h"

#include <QCheckBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStyleOptionViewItem>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

using namespace tidewell;
using platform::Dialogs;
using testsupport::FtpServer;

namespace {

const QString kKey = QStringLiteral("\\SOFTWARE\\VRNH\\Updater");
const QString kBad = QStringLiteral("Update File does not contains the correct information. ");
const QString kSelect = QStringLiteral("Select \"Install\" to install the update.");
const QByteArray kPackage = "package bytes";

QString feedTool() {
    return QStringLiteral(QM_PROGRAM_DIR "/tidewell-feed");
}

struct Run {
    int code;
    QByteArray out, err;
};

Run runFeed(const QStringList& args) {
    QProcess p;
    p.start(feedTool(), args);
    if (!p.waitForFinished(60000))
        return {-1, {}, "did not finish"};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

QByteArray fields(const QByteArray& package, const QByteArray& expires) {
    return "2.0\r\nqm-2.0.pkg\r\nsize=" + QByteArray::number(package.size()) +
           "\r\nsha256=" + QCryptographicHash::hash(package, QCryptographicHash::Sha256).toHex() +
           "\r\nexpires=" + expires + "\r\n";
}

QByteArray signedFile(const QByteArray& body, const QByteArray& secret) {
    return body + "signature=" + signing::sign(body, secret).toBase64() + "\r\n";
}

QDateTime utc(const char* text) {
    return signing::parseExpiry(QString::fromLatin1(text));
}

void writeTo(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

} // namespace

class TestSignedFeed : public QObject {
    Q_OBJECT

    signing::KeyPair m_maker = signing::generateKeyPair();
    signing::KeyPair m_other = signing::generateKeyPair();
    QTemporaryDir m_dir;

private slots:
    void versionFileSignatures_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("keys"); // "maker", "other", "none"
        QTest::addColumn<bool>("signedOnly");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<bool>("isSigned");
        QTest::addColumn<QString>("cause");

        const QByteArray& secret = m_maker.secretKey;
        const QByteArray body = fields(kPackage, "2027-01-31T00:00:00Z");
        const QByteArray good = signedFile(body, secret);
        const QDateTime before = utc("2027-01-30T23:59:59Z");
        const QString noMatch = "Its signature does not match any known signing key.";
        const QString noSizes = "It does not state the size and SHA-256 of its package.";

        QTest::newRow("valid") << good << "maker" << true << before << true << true << "";
        QTest::newRow("valid, two keys known") << signedFile(body, m_other.secretKey) << "both"
                                               << false << before << true << true << "";
        QByteArray flipped = good;
        // Another Base64 letter: still 64 bytes, but not the ones signed. (Flipping a bit could
        // make '+' or '/' a character that is no Base64 at all.)
        char& letter = flipped[flipped.indexOf("signature=") + 12];
        letter = letter == 'A' ? 'B' : 'A';
        QTest::newRow("bad signature")
            << flipped << "maker" << false << before << false << false << noMatch;
        QTest::newRow("unknown key")
            << good << "other" << false << before << false << false << noMatch;
        QTest::newRow("no key known")
            << good << "none" << false << before << false << false
            << "It is signed, but no signing keys are known to this program.";
        QTest::newRow("expired") << good << "maker" << false << utc("2027-01-31T00:00:00Z") << false
                                 << false << "It expired on 2027-01-31T00:00:00Z.";
        QByteArray changed = good;
        changed.replace("size=13", "size=14");
        QTest::newRow("signed bytes changed")
            << changed << "maker" << false << before << false << false << noMatch;
        QByteArray version = good;
        version.replace("2.0\r\n", "2.1\r\n");
        QTest::newRow("version changed")
            << version << "maker" << false << before << false << false << noMatch;
        QByteArray lineEnds = good;
        lineEnds.replace("\r\n", "\n");
        // A text transfer may turn CR LF into LF; the lines stay the signed ones.
        QTest::newRow("line ends LF")
            << lineEnds << "maker" << false << before << true << true << "";
        QByteArray extraLine = good;
        extraLine.replace("qm-2.0.pkg\r\n", "qm-2.0.pkg\r\n\r\n");
        QTest::newRow("empty line added")
            << extraLine << "maker" << false << before << false << false << noMatch;
        // The signature moved above a line it covered.
        const qsizetype expires = good.indexOf("expires=");
        const qsizetype signature = good.indexOf("signature=");
        const QByteArray reordered =
            good.left(expires) + good.mid(signature) + good.mid(expires, signature - expires);
        QTest::newRow("lines reordered") << reordered << "maker" << false << before << false
                                         << false << "Its signature is not its last line.";
        QTest::newRow("size missing")
            << signedFile(QByteArray(body).replace("size=13\r\n", ""), secret) << "maker" << false
            << before << false << false << noSizes;
        QByteArray noHash = body;
        noHash.remove(noHash.indexOf("sha256="), 64 + 9);
        QTest::newRow("sha256 missing") << signedFile(noHash, secret) << "maker" << false << before
                                        << false << false << noSizes;
        QTest::newRow("size twice") << signedFile(body + "size=13\r\n", secret) << "maker" << false
                                    << before << false << false << "It names size twice.";
        QTest::newRow("malformed expiry")
            << signedFile(fields(kPackage, "2027-01-31"), secret) << "maker" << false << before
            << false << false << "Its expires value is malformed.";
        QTest::newRow("signature not Base64")
            << body + "signature=%%%\r\n"
            << "maker" << false << before << false << false << "Its signature is malformed.";
        QTest::newRow("unsigned, setting off") << QByteArray("2.0\r\nqm-2.0.pkg\r\n") << "maker"
                                               << false << before << true << false << "";
        // Values without a signature are no promise: the file stays unsigned.
        QTest::newRow("unsigned values, setting off")
            << body << "maker" << false << before << true << false << "";
        QTest::newRow("unsigned, setting on")
            << body << "maker" << true << before << false << false
            << "It is not signed, and only signed updates are accepted.";
    }
    void versionFileSignatures() {
        QFETCH(QByteArray, file);
        QFETCH(QString, keys);
        QFETCH(bool, signedOnly);
        QFETCH(QDateTime, now);
        TrustPolicy policy;
        if (keys == "maker" || keys == "both")
            policy.keys << m_maker.publicKey;
        if (keys == "other" || keys == "both")
            policy.keys << m_other.publicKey;
        policy.now = now;
        policy.signedOnly = signedOnly;
        VersionInfo info;
        QString cause;
        QTEST(checkSignature(file, policy, info, cause), "valid");
        QTEST(info.isSigned, "isSigned");
        QTEST(cause, "cause");
        if (info.isSigned) {
            QCOMPARE(info.size, kPackage.size());
            QCOMPARE(info.sha256, QCryptographicHash::hash(kPackage, QCryptographicHash::Sha256));
            QCOMPARE(info.expires, utc("2027-01-31T00:00:00Z"));
        }
    }

    void packageAgainstSignedValues_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("cause");
        QTest::newRow("same") << kPackage << "";
        QTest::newRow("longer") << kPackage + "x"
                                << "The package has 14 bytes, not the 13 its version file states.";
        QTest::newRow("same size, other bytes")
            << QByteArray("package bytez")
            << "The package's SHA-256 differs from the one its version file states.";
    }
    void packageAgainstSignedValues() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, cause);
        const QString file = m_dir.filePath("check.pkg");
        writeTo(file, bytes);
        VersionInfo info;
        info.isSigned = true;
        info.size = kPackage.size();
        info.sha256 = QCryptographicHash::hash(kPackage, QCryptographicHash::Sha256);
        QString found;
        QCOMPARE(checkPackage(file, info, found), cause.isEmpty());
        QCOMPARE(found, cause);
    }

    void keySet() {
        const QString builtIn = m_maker.publicKey.toBase64() + ";not a key;";
        QCOMPARE(signing::parseKeyList(m_maker.publicKey.toBase64() + " " +
                                       m_other.publicKey.toBase64() + ";;"),
                 (QList<QByteArray>{m_maker.publicKey, m_other.publicKey}));
        const QString file = m_dir.filePath("keys.pub");
        writeTo(file, "# the maker's second key\n" + m_other.publicKey.toBase64() +
                          "  # added\n\nAAAA\n" + m_maker.publicKey.toBase64() + "\n");
        // The file adds to the built-in keys; bad lines and repeats count for nothing.
        QCOMPARE(signing::loadKeys(builtIn, file),
                 (QList<QByteArray>{m_maker.publicKey, m_other.publicKey}));
        QCOMPARE(signing::loadKeys(builtIn, m_dir.filePath("missing.pub")),
                 QList<QByteArray>{m_maker.publicKey});
        QCOMPARE(signing::loadKeys(QString(), QString()), QList<QByteArray>{});
    }

    // keygen, sign and verify as the maker runs them.
    void keygenSignVerify() {
        const QString name = m_dir.filePath("maker");
        Run r = runFeed({"keygen", "--out", name});
        QCOMPARE(r.code, 0);
        QCOMPARE(int(QFileInfo(name + ".key").permissions() & 0x7077),
                 int(QFile::ReadOwner | QFile::WriteOwner));
        QCOMPARE(QFileInfo(name + ".pub").permissions() & QFile::ReadOther, QFile::ReadOther);
        // Keys are never replaced.
        r = runFeed({"keygen", "--out", name});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("exists already"));

        const QString package = m_dir.filePath("qm-2.0.pkg");
        writeTo(package, kPackage);
        r = runFeed({"sign", "--key", name + ".key", "--package", package, "--version", "2.0",
                     "--expires", "30"});
        QCOMPARE(r.code, 0);
        const QList<QByteArray> lines = r.out.split('\n');
        QCOMPARE(lines.value(0), QByteArray("2.0\r"));
        QCOMPARE(lines.value(1), QByteArray("qm-2.0.pkg\r"));
        QCOMPARE(lines.value(2), QByteArray("size=13\r"));
        QVERIFY(lines.value(3).startsWith("sha256="));
        const QDateTime expires =
            signing::parseExpiry(QString::fromLatin1(lines.value(4).mid(8).trimmed()));
        QVERIFY(qAbs(expires.secsTo(QDateTime::currentDateTimeUtc().addDays(30))) < 120);
        QVERIFY(lines.value(5).startsWith("signature="));
        QCOMPARE(lines.size(), 7);
        QCOMPARE(lines.last(), QByteArray());
        const QString versionFile = m_dir.filePath("qm.txt");
        writeTo(versionFile, r.out);

        r = runFeed({"verify", "--key", name + ".pub", versionFile, "--package", package});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.err, QByteArray());

        // A package that is not the signed one, a file signed with another key, a bad command.
        writeTo(package, "package bytez");
        r = runFeed({"verify", "--key", name + ".pub", versionFile, "--package", package});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("SHA-256 differs"), r.err.constData());
        QCOMPARE(runFeed({"keygen", "--out", m_dir.filePath("other")}).code, 0);
        r = runFeed({"verify", "--key", m_dir.filePath("other.pub"), versionFile});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("does not match any known signing key"));
        r = runFeed({"sign", "--key", name + ".pub", "--package", package, "--version", "2.0"});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("not a secret key"));
        QCOMPARE(runFeed({"sign", "--package", package}).code, 2);
        QCOMPARE(runFeed({"frobnicate"}).code, 2);
        QCOMPARE(runFeed({}).code, 2);
    }

    // A folder the maker cannot write: a clear message, exit 1, no key left half-written.
    void keygenIntoUnwritableFolder() {
        QTemporaryDir shared;
        const QString locked = shared.filePath("locked");
        QVERIFY(QDir().mkpath(locked));
        const QStringList args{"keygen", "--out", locked + "/maker"};
        QProcess p;
        if (testsupport::runningAsRoot()) {
            testsupport::shareFolder(shared.path(), false);
            testsupport::startUnprivileged(p, feedTool(), args, shared.path());
        } else {
            QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
            p.start(feedTool(), args);
        }
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 1);
        QVERIFY(p.readAllStandardError().contains("cannot write"));
        QVERIFY(QDir(locked).entryList(QDir::Files).isEmpty());
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // The check box stores "1" or "0" in the updater key, and the window reads it on closing.
    void acceptOnlySignedSetting() {
        testsupport::TidewellHarness h(testsupport::closedPort());
        MainWindow* w = h.start();
        QVERIFY(!w->signedOnly);
        for (const bool tick : {true, false}) {
            w->execDialog = [&](QDialog& d) {
                auto& s = static_cast<SettingsWindow&>(d);
                [&] {
                    QCOMPARE(s.signedOnlyBox->text(), QStringLiteral("Accept only signed updates"));
                    QCOMPARE(s.signedOnlyBox->isChecked(), !tick);
                }();
                s.signedOnlyBox->setChecked(tick);
                s.saveSettings();
                return s.result();
            };
            w->editSettings();
            QCOMPARE(h.env.value(kKey, "signedonly"), QString::fromLatin1(tick ? "1" : "0"));
            QCOMPARE(w->signedOnly, tick);
        }
    }

    // A feed signed with the tool, served over FTP and installed through the window.
    void signedFeedThroughWindow() {
        QTemporaryDir feed;
        const QString keys = feed.filePath("keys/maker");
        QDir().mkpath(feed.filePath("keys"));
        QCOMPARE(runFeed({"keygen", "--out", keys}).code, 0);
        const QByteArray alpha(40000, 'a');
        const auto publish = [&](const QString& folder, const QString& file,
                                 const QByteArray& signedBytes, const QByteArray& servedBytes) {
            const QString package = feed.filePath("tidefeed/" + folder + "/" + file);
            writeTo(package, signedBytes);
            const Run r =
                runFeed({"sign", "--key", keys + ".key", "--package", package, "--version", "2.0"});
            QCOMPARE(r.code, 0);
            writeTo(feed.filePath("tidefeed/" + folder + "/v.txt"), r.out);
            writeTo(package, servedBytes);
        };
        publish("good", "good-2.0.pkg", alpha, alpha);
        QByteArray altered = alpha;
        altered[20000] = 'b';
        publish("bad", "bad-2.0.pkg", alpha, altered);
        writeTo(feed.filePath("tidefeed/plain/v.txt"), "2.0\r\nplain-2.0.pkg\r\n");
        writeTo(feed.filePath("tidefeed/plain/plain-2.0.pkg"), alpha);
        FtpServer server;
        QVERIFY(server.start(feed.path()));

        testsupport::TidewellHarness h(server.port());
        const auto add = [&](const QString& name, const QString& folder) {
            h.env.setValue(kKey + "\\" + name, "version1", "1.0");
            h.env.setValue(kKey + "\\" + name, "f", folder);
            h.env.setValue(kKey + "\\" + name, "p", "v.txt");
        };
        add("Bad", "bad");
        add("Good", "good");
        add("Plain", "plain");
        MainWindow* w = h.start();
        // Without the key the signed files are refused and their rows stay as they were.
        w->checkForUpdates();
        const QString noKeys = "It is signed, but no signing keys are known to this program.";
        QCOMPARE(h.dialogs.texts(),
                 (QStringList{kBad + noKeys, kBad + noKeys, "An update is available for Plain."}));
        QCOMPARE(w->cellText(1, MainWindow::Column::Package), QString());
        QCOMPARE(w->shownText(2, MainWindow::Column::OfferedVersion),
                 QStringLiteral("2.0 (not signed)"));
        QCOMPARE(w->cellText(2, MainWindow::Column::OfferedVersion), QStringLiteral("2.0"));

        // The key file in the data folder makes them known.
        QFile::copy(keys + ".pub", h.env.programFolder() + "keys.pub");
        h.dialogs.shown.clear();
        w->checkForUpdates();
        QCOMPARE(h.dialogs.texts(),
                 (QStringList{"An update is available for Bad.", "An update is available for Good.",
                              "An update is available for Plain."}));
        QCOMPARE(w->shownText(1, MainWindow::Column::OfferedVersion), QStringLiteral("2.0"));
        // The list draws what shownText says: the same version, wider with the word after it.
        QStyleOptionViewItem option;
        option.initFrom(w->productList);
        const QAbstractItemDelegate* offered =
            w->productList->itemDelegateForColumn(int(MainWindow::Column::OfferedVersion));
        const QAbstractItemModel* model = w->productList->model();
        QVERIFY(offered->sizeHint(option, model->index(2, 2)).width() >
                offered->sizeHint(option, model->index(1, 2)).width() + 20);

        // The package whose bytes differ from the signed ones is refused and leaves no file.
        w->setTicked(0, true);
        w->setTicked(1, true);
        h.dialogs.shown.clear();
        w->getUpdates();
        QCOMPARE(h.dialogs.texts(),
                 (QStringList{"Unable to get update file for Bad. The package's SHA-256 differs "
                              "from the one its version file states.",
                              kSelect}));
        QVERIFY(!QFileInfo::exists(w->packagePath("bad-2.0.pkg")));
        QVERIFY(!QFileInfo::exists(w->packagePath("bad-2.0.pkg.part")));
        QCOMPARE(h.env.readFile(w->packagePath("good-2.0.pkg")), alpha);

        // A signed package opens without a question about its signature.
        w->setTicked(0, false);
        h.dialogs.shown.clear();
        h.dialogs.answers = {Dialogs::Button::Yes};
        w->installSelected();
        QCOMPARE(h.dialogs.shown.size(), 1);
        QCOMPARE(h.shell.opened, QList<QUrl>{platform::fileUrl(w->packagePath("good-2.0.pkg"))});

        // An unsigned one asks once; No opens nothing, Yes goes on to the usual question.
        w->setTicked(1, false);
        w->setTicked(2, true);
        w->getUpdates();
        const QString question = "plain-2.0.pkg is not signed by the maker. Install it anyway?";
        for (const Dialogs::Button answer : {Dialogs::Button::No, Dialogs::Button::Yes}) {
            h.dialogs.shown.clear();
            h.shell.opened.clear();
            h.dialogs.answers = {answer, Dialogs::Button::Yes};
            w->installSelected();
            QCOMPARE(h.dialogs.texts().value(0), question);
            QCOMPARE(h.dialogs.count(question), 1);
            QCOMPARE(h.shell.opened.size(), answer == Dialogs::Button::Yes ? 1 : 0);
        }

        // With only signed updates accepted, the unsigned file and its package are refused.
        h.env.setValue(kKey, "signedonly", "1");
        w->loadProxySettings();
        h.dialogs.shown.clear();
        h.shell.opened.clear();
        w->installSelected();
        QCOMPARE(h.dialogs.texts(),
                 QStringList{kBad + "It is not signed, and only signed updates are accepted."});
        QCOMPARE(h.shell.opened.size(), 0);
        h.dialogs.shown.clear();
        w->checkForUpdates();
        QCOMPARE(h.dialogs.texts().value(2),
                 kBad + "It is not signed, and only signed updates are accepted.");
    }
};

QTEST_MAIN(TestSignedFeed)
#include "tst_signedfeed.moc"
