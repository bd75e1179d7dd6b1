// What the programs do with the files they are told to write or read when those are not plain
// files: devices, FIFOs, sockets, folders and symbolic links of other users.
#include "platform/errors.h"
#include "platform/textfile.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

using namespace platform;

namespace {

enum class Kind { Missing, Regular, CharDevice, Fifo, FifoRead, Socket, Folder, Descriptor };

mode_t typeOf(const QString& path) {
    struct stat sb;
    if (::lstat(QFile::encodeName(path).constData(), &sb) != 0)
        return 0;
    return sb.st_mode & S_IFMT;
}

void makeSocket(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    memcpy(addr.sun_path, name.constData(), size_t(name.size()) + 1);
    QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::close(fd);
}

// The error's text, or "" when the call succeeded.
template <typename F> QString failure(F call) {
    try {
        call();
    } catch (const Error& e) {
        return e.message();
    }
    return QString();
}

} // namespace

class TestOutputFiles : public QObject {
    Q_OBJECT

private slots:
    void writeTargets_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("refusal"); // part of the message; "" when written
        QTest::addColumn<int>("typeAfter");
        QTest::newRow("missing file is created") << int(Kind::Missing) << "" << int(S_IFREG);
        QTest::newRow("regular file is replaced") << int(Kind::Regular) << "" << int(S_IFREG);
        QTest::newRow("copy of /dev/null written in place")
            << int(Kind::CharDevice) << "" << int(S_IFCHR);
        QTest::newRow("FIFO with a reader written in place")
            << int(Kind::FifoRead) << "" << int(S_IFIFO);
        QTest::newRow("FIFO nobody reads refused")
            << int(Kind::Fifo) << "No program is reading" << int(S_IFIFO);
        QTest::newRow("socket refused") << int(Kind::Socket) << "socket" << int(S_IFSOCK);
        QTest::newRow("folder refused") << int(Kind::Folder) << "Is a directory" << int(S_IFDIR);
        QTest::newRow("descriptor path written to the descriptor")
            << int(Kind::Descriptor) << "" << 0;
    }
    void writeTargets() {
        QFETCH(int, kind);
        QFETCH(QString, refusal);
        QFETCH(int, typeAfter);
        QTemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("out"));
        const QByteArray name = QFile::encodeName(path);
        int reader = -1;
        int pipeEnds[2] = {-1, -1};
        switch (Kind(kind)) {
        case Kind::Missing:
            break;
        case Kind::Regular: {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("old");
            f.close();
            QVERIFY(::chmod(name.constData(), 0640) == 0);
            break;
        }
        case Kind::CharDevice:
            if (::mknod(name.constData(), S_IFCHR | 0666, makedev(1, 3)) != 0)
                QSKIP("making a device needs root");
            break;
        case Kind::Fifo:
        case Kind::FifoRead:
            QCOMPARE(::mkfifo(name.constData(), 0600), 0);
            if (Kind(kind) == Kind::FifoRead)
                reader = ::open(name.constData(), O_RDONLY | O_NONBLOCK);
            break;
        case Kind::Socket:
            makeSocket(path);
            break;
        case Kind::Folder:
            QVERIFY(QDir().mkdir(path));
            break;
        case Kind::Descriptor:
            QCOMPARE(::pipe(pipeEnds), 0);
            path = QStringLiteral("/proc/self/fd/%1").arg(pipeEnds[1]);
            reader = pipeEnds[0];
            break;
        }
        QElapsedTimer timer;
        timer.start();
        const QString error = failure([&] { writeFileAtomically(path, "new\r\n"); });
        QVERIFY2(timer.elapsed() < 10000,
                 "the write waited"); // a FIFO without a reader must not block
        if (refusal.isEmpty()) {
            QVERIFY2(error.isEmpty(), qPrintable(error));
        } else {
            QVERIFY2(error.contains(refusal) && error.contains(path), qPrintable(error));
        }
        if (typeAfter)
            QCOMPARE(int(typeOf(path)), typeAfter);
        if (reader >= 0) {
            char buffer[16] = {};
            QCOMPARE(::read(reader, buffer, sizeof buffer), ssize_t(5));
            QCOMPARE(QByteArray(buffer), QByteArray("new\r\n"));
            ::close(reader);
        }
        if (pipeEnds[1] >= 0)
            ::close(pipeEnds[1]);
        if (Kind(kind) == Kind::Regular) {
            QCOMPARE(readFileBytes(path), QByteArray("new\r\n"));
            struct stat sb;
            QCOMPARE(::stat(name.constData(), &sb), 0);
            QCOMPARE(sb.st_mode & 0777, mode_t(0640)); // the old file's permissions kept
        }
        QCOMPARE(
            QDir(dir.path())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
                .size(),
            Kind(kind) == Kind::Descriptor ? 0 : 1); // no temporary file left behind
    }

    // A link is followed as the kernel's protected_symlinks rule follows one: in a sticky folder
    // that anyone may write to, only the running user's links and the folder owner's.
    void links_data() {
        QTest::addColumn<bool>("shared");   // the link lies in a sticky, world-writable folder
        QTest::addColumn<int>("linkOwner"); // -1: the running user
        QTest::addColumn<bool>("followed");
        QTest::newRow("own link in a shared folder") << true << -1 << true;
        QTest::newRow("another user's link in a shared folder") << true << 4321 << false;
        QTest::newRow("another user's link in a private folder") << false << 4321 << true;
    }
    void links() {
        QFETCH(bool, shared);
        QFETCH(int, linkOwner);
        QFETCH(bool, followed);
        QTemporaryDir dir;
        const QString secret = dir.filePath(QStringLiteral("secret"));
        QVERIFY(QDir().mkdir(secret));
        QVERIFY(::chmod(QFile::encodeName(secret).constData(), 0700) == 0);
        const QString target = secret + QStringLiteral("/target.htm");
        const QString folder = dir.filePath(QStringLiteral("tmp"));
        QVERIFY(QDir().mkdir(folder));
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), shared ? 01777 : 0755) == 0);
        const QString link = folder + QStringLiteral("/report.htm");
        QVERIFY(QFile::link(target, link));
        if (linkOwner >= 0 &&
            ::lchown(QFile::encodeName(link).constData(), uid_t(linkOwner), gid_t(linkOwner)) != 0)
            QSKIP("giving a link to another user needs root");
        const QString error = failure([&] { writeFileAtomically(link, "report"); });
        QCOMPARE(error.isEmpty(), followed);
        QCOMPARE(QFileInfo::exists(target), followed);
        QCOMPARE(int(typeOf(link)), int(S_IFLNK));
        if (!followed)
            QVERIFY2(error.contains(QLatin1String("not followed")), qPrintable(error));
    }

    void readSources_data() {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("endless device") << "/dev/zero"
                                        << "not a regular file";
        QTest::newRow("FIFO without a writer") << "fifo"
                                               << "not a regular file";
        QTest::newRow("folder") << "folder"
                                << "Is a directory";
        QTest::newRow("above the cap") << "large"
                                       << "files of more than";
        QTest::newRow("at the cap") << "cap"
                                    << "";
    }
    void readSources() {
        QFETCH(QString, what);
        QFETCH(QString, refusal);
        QTemporaryDir dir;
        QString path = what.startsWith(QLatin1Char('/')) ? what : dir.filePath(what);
        const QByteArray name = QFile::encodeName(path);
        if (what == QLatin1String("fifo"))
            QCOMPARE(::mkfifo(name.constData(), 0600), 0);
        if (what == QLatin1String("folder"))
            QVERIFY(QDir().mkdir(path));
        if (what == QLatin1String("large") || what == QLatin1String("cap")) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(what == QLatin1String("large") ? 1025 : 1024, 'x'));
        }
        QElapsedTimer timer;
        timer.start();
        const QString error = failure([&] { readFileBytes(path, 1024); });
        QVERIFY2(timer.elapsed() < 10000, "the read waited");
        if (refusal.isEmpty())
            QVERIFY2(error.isEmpty(), qPrintable(error));
        else
            QVERIFY2(error.startsWith(QStringLiteral("Cannot open file \"%1\"").arg(path)) &&
                         error.contains(refusal),
                     qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(TestOutputFiles)
#include "tst_outputfiles.moc"
