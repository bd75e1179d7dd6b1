// The printer and mail seams and the printing of a pane, on a PDF printer.
#include "analysis/results/printing.h"
#include "analysis/results/resultpane.h"
#include "platform/errors.h"
#include "platform/mail.h"
#include "platform/printer.h"
#include "support/doubles.h"
#include "support/modal.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QUrlQuery>
#include <QtTest>

using testsupport::pdfInfo;
using testsupport::PdfPrinter;
using testsupport::pdfText;

namespace {

// The first word's box on the first page, in points, as pdftotext -bbox reads it.
QRectF firstWordBox(const QString& pdf) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"),
            {QStringLiteral("-bbox"), QStringLiteral("-f"), QStringLiteral("1"),
             QStringLiteral("-l"), QStringLiteral("1"), pdf, QStringLiteral("-")});
    p.waitForFinished(30000);
    const QString html = QString::fromUtf8(p.readAllStandardOutput());
    const QRegularExpression re(QStringLiteral(
        "<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">"));
    const QRegularExpressionMatch m = re.match(html);
    if (!m.hasMatch())
        return QRectF();
    return QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                  QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()));
}

QString pdfFonts(const QString& pdf) {
    QProcess p;
    p.start(QStringLiteral("pdffonts"), {pdf});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

void writeScript(const QString& path, const QByteArray& body) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\n" + body);
    f.close();
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

} // namespace

class TestResultSeams : public QObject {
    Q_OBJECT
private slots:
    // A long pane fills the printable area page after page: every line once, in order, and
    // nothing added (no page number, no header).
    void longPaneOverSeveralPages() {
        QTemporaryDir dir;
        PdfPrinter printers(dir.path());
        QPlainTextEdit pane;
        QStringList lines;
        for (int i = 0; i < 300; ++i)
            lines.append(QStringLiteral("File = page%1.htm").arg(QChar(u'a' + i % 26)) +
                         QString(i / 26, u'x'));
        results::addPaneLines(&pane, lines);
        results::printPane(printers, pane, QStringLiteral("Verification Passed Report"));

        QCOMPARE(printers.jobs.size(), 1);
        const QString pdf = printers.jobs.first().path;
        QCOMPARE(pdfInfo(pdf, QStringLiteral("Title")),
                 QStringLiteral("Verification Passed Report"));
        const int pages = pdfInfo(pdf, QStringLiteral("Pages")).toInt();
        QVERIFY2(pages >= 3, qPrintable(QString::number(pages)));
        QStringList printed =
            pdfText(pdf).split(QRegularExpression(QStringLiteral("[\\n\\f]")), Qt::SkipEmptyParts);
        QCOMPARE(printed, lines);
    }

    // The pane's font at its size, from the top left corner of the printable area.
    void fontAndPrintableArea() {
        QTemporaryDir dir;
        PdfPrinter printers(dir.path());
        QPlainTextEdit pane;
        pane.setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 20));
        results::addPaneLine(&pane, QStringLiteral("Keyword Check"));
        QPrinter& printer =
            printers.startJob(QStringLiteral("Verification Key Word Density Report"));
        const QRectF area = printer.pageLayout().paintRectPoints();
        results::printPaneText(printer, pane,
                               QStringLiteral("Verification Key Word Density Report"));

        const QString pdf = printers.jobs.first().path;
        QVERIFY2(pdfFonts(pdf).contains(QStringLiteral("DejaVuSansMono")),
                 qPrintable(pdfFonts(pdf)));
        const QRectF word = firstWordBox(pdf);
        QVERIFY(word.isValid());
        QVERIFY2(qAbs(word.left() - area.left()) < 2.0,
                 qPrintable(QStringLiteral("%1 %2").arg(word.left()).arg(area.left())));
        QVERIFY2(word.top() - area.top() < 8.0,
                 qPrintable(QStringLiteral("%1 %2").arg(word.top()).arg(area.top())));
        // A 20 point font: about 23 points from top to bottom of a line.
        QVERIFY2(word.height() > 18 && word.height() < 28,
                 qPrintable(QString::number(word.height())));
    }

    // A line longer than the page wraps instead of running off its edge.
    void longLineWraps() {
        QTemporaryDir dir;
        PdfPrinter printers(dir.path());
        QPlainTextEdit pane;
        QStringList words;
        for (int i = 0; i < 60; ++i)
            words.append(QStringLiteral("word%1").arg(QChar(u'a' + i % 26)));
        results::addPaneLine(&pane, words.join(QLatin1Char(' ')));
        results::printPane(printers, pane, QStringLiteral("t"));
        const QString text = pdfText(printers.jobs.first().path);
        QVERIFY(text.count(QLatin1Char('\n')) >= 3);
        QCOMPARE(text.simplified(), words.join(QLatin1Char(' ')));
    }

    void oneEmptyLineIsOneBlankPage() {
        QTemporaryDir dir;
        PdfPrinter printers(dir.path());
        QPlainTextEdit pane;
        results::addPaneLine(&pane, QString());
        QVERIFY(!results::paneIsEmpty(&pane));
        results::printPane(printers, pane, QStringLiteral("t"));
        QCOMPARE(pdfInfo(printers.jobs.first().path, QStringLiteral("Pages")), QStringLiteral("1"));
        QCOMPARE(pdfText(printers.jobs.first().path).trimmed(), QString());
    }

    void jobThatCannotStart() {
        QTemporaryDir dir;
        PdfPrinter printers(dir.path());
        printers.unwritable = true;
        QPlainTextEdit pane;
        results::addPaneLine(&pane, QStringLiteral("x"));
        try {
            results::printPane(printers, pane, QStringLiteral("Verification Failed Report"));
            QFAIL("no error");
        } catch (const platform::Error& e) {
            QCOMPARE(
                e.message(),
                QStringLiteral(
                    "The print job \"Verification Failed Report\" cannot start on the printer."));
        }
    }

    // Without any printer installed there is nothing to print on until one is chosen.
    void realPrinterWithoutPrinters() {
        if (!QPrinterInfo::availablePrinters().isEmpty())
            QSKIP("this machine has printers");
        platform::QtPrinter printer;
        QVERIFY_THROWS_EXCEPTION(platform::Error, printer.startJob(QStringLiteral("t")));
    }

    // The system's dialog, modal; cancelled, it changes nothing.
    void realSetupDialog() {
        platform::QtPrinter printer;
        QWidget parent;
        QString title;
        QString accept;
        bool printDialog = false;
        const testsupport::ModalScript dialog(testsupport::expect<QDialog>([&](QDialog* d) {
            title = d->windowTitle();
            printDialog = qobject_cast<QPrintDialog*>(d) != nullptr;
            if (auto* box = d->findChild<QDialogButtonBox*>())
                if (QPushButton* ok = box->button(QDialogButtonBox::Ok))
                    accept = ok->text();
            d->reject();
        }));
        printer.setup(&parent);
        QVERIFY(printDialog);
        QCOMPARE(title, QStringLiteral("Printer Setup"));
        QCOMPARE(accept, QStringLiteral("OK"));
        if (QPrinterInfo::availablePrinters().isEmpty())
            QVERIFY_THROWS_EXCEPTION(platform::Error, printer.startJob(QStringLiteral("t")));
    }

    void mailtoEncoding() {
        const QString subject = QStringLiteral("Quillmark for FrontPage! Key Word Density Report");
        const QString body = QStringLiteral("a & b + c = d?\r\n50% caf\u00E9 #1\r\n");
        const QUrl url = platform::mailtoUrl(subject, body);
        QCOMPARE(url.scheme(), QStringLiteral("mailto"));
        QVERIFY(url.path().isEmpty()); // no recipient
        const QByteArray encoded = url.toEncoded();
        QVERIFY(encoded.contains("%0D%0A"));
        QVERIFY(encoded.contains("%2B") && encoded.contains("%26") && encoded.contains("%25"));
        const QUrlQuery query(url);
        QCOMPARE(query.queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded), subject);
        QCOMPARE(query.queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded), body);
    }

    void mailErrorTexts_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("2") << 2 << QStringLiteral("MAPI: General Failure. ErrorCode = 2");
        QTest::newRow("3") << 3 << QStringLiteral("MAPI: Login Failure. ErrorCode = 3");
        QTest::newRow("7 has no text") << 7 << QStringLiteral("MAPI: . ErrorCode = 7");
        QTest::newRow("18") << 18 << QStringLiteral("MAPI: Text Too Large. ErrorCode = 18");
        QTest::newRow("26") << 26 << QStringLiteral("MAPI: Feature Not Supported. ErrorCode = 26");
        QTest::newRow("27 has no text") << 27 << QStringLiteral("MAPI: . ErrorCode = 27");
    }
    void mailErrorTexts() {
        QFETCH(int, code);
        QFETCH(QString, message);
        QCOMPARE(platform::mailErrorMessage(code), message);
    }

    // The desktop says no program handles mailto: addresses: nothing is opened.
    void noMailProgram() {
        QTemporaryDir bin;
        writeScript(bin.filePath(QStringLiteral("xdg-mime")), "exit 0\n");
        writeScript(bin.filePath(QStringLiteral("xdg-open")),
                    "echo \"$@\" > \"" + bin.filePath(QStringLiteral("opened")).toUtf8() + "\"\n");
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", bin.path().toUtf8() + ':' + oldPath);
        platform::QtMail mail;
        const int code = mail.sendMail(QStringLiteral("s"), QStringLiteral("b\r\n"));
        qputenv("PATH", oldPath);
        QCOMPARE(code, int(platform::kMailNoProgram));
        QVERIFY(!QFile::exists(bin.filePath(QStringLiteral("opened"))));
    }

    void textTooLarge() {
        platform::QtMail mail;
        const QString body = QString(platform::QtMail::kMaxUrlLength, u'x');
        QCOMPARE(mail.sendMail(QStringLiteral("s"), body), int(platform::kMailTextTooLarge));
    }
};

QTEST_MAIN(TestResultSeams)
#include "tst_resultseams.moc"
