#include "platform/dialogs.h"
#include "platform/errors.h"
#include "support/modal.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

using platform::Dialogs;

// The one test of the real boxes: everything else goes through the scripted double.
class TestDialogs : public QObject {
    Q_OBJECT

    struct Seen {
        QString title, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QStringList buttons;
    };

    // Answers a real box with the button whose text is `press`, and notes what it showed.
    static testsupport::ModalStep answer(Seen& seen, const QString& press) {
        return testsupport::expect<QMessageBox>([&seen, press](QMessageBox* box) {
            seen.title = box->windowTitle();
            seen.text = box->text();
            seen.icon = box->icon();
            for (QAbstractButton* b : box->buttons()) {
                seen.buttons.append(b->text().remove(QLatin1Char('&')));
                if (b->text().remove(QLatin1Char('&')) == press)
                    b->click();
            }
        });
    }

private slots:
    void realBoxes_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("icon");
        QTest::newRow("information")
            << int(Dialogs::Kind::Information) << int(QMessageBox::Information);
        QTest::newRow("error") << int(Dialogs::Kind::Error) << int(QMessageBox::Critical);
        QTest::newRow("warning") << int(Dialogs::Kind::Warning) << int(QMessageBox::Warning);
        QTest::newRow("plain") << int(Dialogs::Kind::Plain) << int(QMessageBox::NoIcon);
    }
    void realBoxes() {
        QFETCH(int, kind);
        QFETCH(int, icon);
        platform::QtDialogs dialogs(QStringLiteral("Quillmark for FrontPage"));
        Seen seen;
        const testsupport::ModalScript box(answer(seen, QStringLiteral("OK")));
        const auto pressed = dialogs.show(
            Dialogs::Kind(kind), QStringLiteral("File : a.htm\r\n\r\nline"), {Dialogs::Button::Ok});
        QCOMPARE(pressed, Dialogs::Button::Ok);
        QCOMPARE(seen.title, QStringLiteral("Quillmark for FrontPage"));
        QCOMPARE(seen.text, QStringLiteral("File : a.htm\r\n\r\nline"));
        QCOMPARE(int(seen.icon), icon);
        QCOMPARE(seen.buttons, QStringList{"OK"});
    }

    void confirmation() {
        platform::QtDialogs dialogs(QStringLiteral("T"));
        Seen seen, again;
        const testsupport::ModalScript boxes{answer(seen, QStringLiteral("No")),
                                             answer(again, QStringLiteral("Yes"))};
        QVERIFY(!dialogs.confirm(QStringLiteral("View the report in your browser?   Continue?")));
        QCOMPARE(int(seen.icon), int(QMessageBox::Question));
        QCOMPARE(seen.buttons, (QStringList{"Yes", "No"}));
        QVERIFY(dialogs.confirm(QStringLiteral("?")));
    }

    void standardErrorBox() {
        platform::QtDialogs dialogs(QStringLiteral("T"));
        Seen seen;
        const testsupport::ModalScript box(answer(seen, QStringLiteral("OK")));
        bool after = false;
        platform::runGuarded(dialogs, [] {
            throw platform::EFOpenError(QStringLiteral("/x/y.txt"),
                                        QStringLiteral("No such file or directory"));
        });
        after = true;
        QVERIFY(after);
        QCOMPARE(seen.text,
                 QStringLiteral("Cannot open file \"/x/y.txt\". No such file or directory"));
        QCOMPARE(int(seen.icon), int(QMessageBox::Critical));
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
