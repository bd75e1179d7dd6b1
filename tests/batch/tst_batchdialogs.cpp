#include "analysis/batch/batchprogress.h"
#include "analysis/batch/folderchooser.h"
#include "analysis/batch/pageselection.h"
#include "support/doubles.h"
#include "support/modal.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>

using quillmark::BatchProgressWindow;
using quillmark::FolderChooser;
using quillmark::PageSelectionDialog;

namespace {

QStringList captions(const PageSelectionDialog& d) {
    QStringList out;
    for (int r = 0; r < d.rowCount(); ++r)
        out.append(d.caption(r));
    return out;
}

QAction* action(QWidget* w, const char* name) {
    return w->findChild<QAction*>(QString::fromLatin1(name));
}

} // namespace

class TestBatchDialogs : public QObject {
    Q_OBJECT

private slots:
    void selectionDialogLooksAsDescribed() {
        QStringList batchPages;
        testsupport::RecordingHelp help;
        PageSelectionDialog d(batchPages, help, QStringLiteral("/q/quillmark.hlp"));
        QCOMPARE(d.windowTitle(), QStringLiteral("Batch Check for FrontPage\u00AE"));
        QCOMPARE(d.filesBox->title(), QStringLiteral(" Select Files to Check "));
        QCOMPARE(d.fileList->model()->headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("File"));
        // Never smaller than 478 x 160, nor than its controls need.
        QVERIFY(d.minimumSize().width() >= 478 && d.minimumSize().height() >= 160);
        d.resize(100, 50);
        QCOMPARE(d.size(), d.minimumSize());

        // Toolbar: caption, tooltip, long hint.
        struct B {
            const char* name;
            const char* caption;
            const char* tip;
            const char* hint;
        };
        const B buttons[] = {
            {"RzToolButton1", "Select All", "Select all files", "Select all files"},
            {"RzToolButton2", "UnSelect All", "Clear Selected Files", "Clear Selected Files"},
            {"RzToolButton3", "Check Files", "Check Files", "Close and check selected files"},
            {"RzToolButton4", "Close", "Close", "Close without selecting any files"},
            {"RzToolButton5", "Help", "Help", "Help with Batch Check"}};
        QCOMPARE(d.toolBar->actions().size(), 5);
        for (int i = 0; i < 5; ++i) {
            QAction* a = d.toolBar->actions().at(i);
            QCOMPARE(a->objectName(), QString::fromLatin1(buttons[i].name));
            QCOMPARE(a->text(), QString::fromLatin1(buttons[i].caption));
            QCOMPARE(a->toolTip(), QString::fromLatin1(buttons[i].tip));
            QCOMPARE(a->statusTip(), QString::fromLatin1(buttons[i].hint));
            QCOMPARE(qobject_cast<QToolButton*>(d.toolBar->widgetForAction(a))->toolTip(),
                     QString::fromLatin1(buttons[i].tip));
        }
        // The toolbar sits below the list.
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QVERIFY(d.toolBar->geometry().top() > d.filesBox->geometry().bottom());

        // Menus in order, separators included, with their hints.
        const QList<QAction*> menus = d.menuBar->actions();
        QCOMPARE(menus.size(), 2);
        QCOMPARE(menus.at(0)->text(), QStringLiteral("&File"));
        QCOMPARE(menus.at(1)->text(), QStringLiteral("&Help"));
        QStringList items, hints;
        for (QAction* menu : menus)
            for (QAction* a : menu->menu()->actions()) {
                items.append(a->isSeparator() ? QStringLiteral("-") : a->text());
                if (!a->isSeparator())
                    hints.append(a->statusTip());
            }
        QCOMPARE(items, (QStringList{"&Select All", "&UnSelect All", "-", "Check &Files", "-",
                                     "&Close", "&Help with Batch Check"}));
        QCOMPARE(hints,
                 (QStringList{"Select all files", "Clear selected files",
                              "Close and return selected files",
                              "Close without selecting any files", "Help with batch update"}));

        // Help, from the toolbar and the menu.
        action(&d, "RzToolButton5")->trigger();
        action(&d, "HelpwithBatchCheck1")->trigger();
        QCOMPARE(help.topics.size(), 2);
        QCOMPARE(help.topics.at(0).topic, 224);
        QCOMPARE(help.topics.at(1).topic, 224);
        QCOMPARE(help.topics.at(0).file, QStringLiteral("/q/quillmark.hlp"));
    }

    void rowsTicksAndCommands() {
        QStringList batchPages{"earlier"};
        testsupport::RecordingHelp help;
        PageSelectionDialog d(batchPages, help, QString());
        d.addRows({"zeta.htm", "Beta.htm", "alpha.htm"});
        d.addRows({"gamma.htm", "beta.htm"});
        QCOMPARE(captions(d),
                 (QStringList{"alpha.htm", "Beta.htm", "beta.htm", "gamma.htm", "zeta.htm"}));
        for (int r = 0; r < d.rowCount(); ++r)
            QVERIFY(!d.ticked(r));
        // Rows show check boxes the user can tick.
        const QModelIndex first = d.fileList->model()->index(0, 0);
        QCOMPARE(d.fileList->model()->data(first, Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        QVERIFY(d.fileList->model()->flags(first) & Qt::ItemIsUserCheckable);
        QVERIFY(d.fileList->model()->setData(first, Qt::Checked, Qt::CheckStateRole));
        QVERIFY(d.ticked(0));

        action(&d, "SelectAll1")->trigger();
        for (int r = 0; r < d.rowCount(); ++r)
            QVERIFY(d.ticked(r));
        action(&d, "RzToolButton2")->trigger();
        for (int r = 0; r < d.rowCount(); ++r)
            QVERIFY(!d.ticked(r));

        // Check Files: the ticked rows in display order, after what batchPages held; the dialog
        // closes.
        d.setTicked(4, true);
        d.setTicked(1, true);
        d.show();
        action(&d, "CheckFiles1")->trigger();
        QCOMPARE(batchPages, (QStringList{"earlier", "Beta.htm", "zeta.htm"}));
        QVERIFY(!d.isVisible());
        QCOMPARE(d.result(), int(QDialog::Accepted));
    }

    void closingLeavesBatchfiles() {
        for (const char* how : {"Close1", "RzToolButton4", "frame"}) {
            QStringList batchPages;
            testsupport::RecordingHelp help;
            PageSelectionDialog d(batchPages, help, QString());
            d.addRows({"a.htm", "b.htm"});
            d.setTicked(0, true);
            const testsupport::ModalScript close(
                testsupport::expect<PageSelectionDialog>([how](PageSelectionDialog* shown) {
                    if (QLatin1String(how) == QLatin1String("frame"))
                        shown->close();
                    else
                        action(shown, how)->trigger();
                }));
            QCOMPARE(d.exec(), int(QDialog::Rejected));
            QVERIFY2(batchPages.isEmpty(), how);
        }
    }

    void progressWindow() {
        BatchProgressWindow w;
        QCOMPARE(w.windowTitle(), QStringLiteral("Batch Verify in Progress, Please Wait..."));
        QCOMPARE(w.StaticText1->text(), QStringLiteral("Preparing to Verify Files"));
        QVERIFY(!w.isVisible());
        QVERIFY(!(w.windowFlags() & Qt::WindowCloseButtonHint));

        w.startRun(4);
        QVERIFY(w.isVisible());
        QCOMPARE(w.size(), QSize(420, 84));
        QVERIFY(w.StaticText1->geometry().bottom() <= w.upb->geometry().top());
        QVERIFY(!w.isModal());
        const QRect text = w.StaticText1->geometry();
        const QRect bar = w.upb->geometry();
        w.setText(QStringLiteral("Completed File: 1 of 4 a.htm"));
        w.setCompleted(1);
        // Shown when the window refreshes.
        w.refresh();
        QCOMPARE(w.StaticText1->text(), QStringLiteral("Completed File: 1 of 4 a.htm"));
        // A text far wider than the window moves and resizes nothing.
        const QString longAddress = QStringLiteral("Opening File: ") +
                                    QStringLiteral("deep/folder/").repeated(20) +
                                    QStringLiteral("page.htm");
        w.setText(longAddress);
        w.refresh();
        QCoreApplication::processEvents();
        QCOMPARE(w.StaticText1->text(), longAddress);
        QCOMPARE(w.size(), QSize(420, 84));
        QCOMPARE(w.StaticText1->geometry(), text);
        QCOMPARE(w.upb->geometry(), bar);
        w.setText(QStringLiteral("Completed File: 1 of 4 a.htm"));
        w.refresh();
        QCOMPARE(w.upb->maximum(), 4);
        QCOMPARE(w.upb->value(), 1);
        // Neither a close from outside nor Escape hides it during a run.
        w.close();
        QTest::keyClick(&w, Qt::Key_Escape);
        QVERIFY(w.isVisible());
        QCOMPARE(w.windowTitle(), QStringLiteral("Batch Verify in Progress, Please Wait..."));

        w.finishRun();
        QVERIFY(!w.isVisible());
        QCOMPARE(w.windowTitle(), QStringLiteral("Performing Batch Verify, Please Wait ..."));
        w.startRun(2);
        QCOMPARE(w.upb->value(), 0);
        QCOMPARE(w.upb->maximum(), 2);
        w.finishRun();
        QCOMPARE(w.windowTitle(), QStringLiteral("Performing Batch Verify, Please Wait ..."));
    }

    void folderChooser() {
        FolderChooser c({"shop/old", "about", "shop", "Web Root Directory"});
        QCOMPARE(c.tree()->topLevelItemCount(), 1);
        QTreeWidgetItem* root = c.tree()->topLevelItem(0);
        QCOMPARE(root->text(0), QStringLiteral("Web Root Directory"));
        QCOMPARE(root->childCount(), 3);
        QCOMPARE(c.item(QStringLiteral("shop/old"))->parent(), c.item(QStringLiteral("shop")));
        QCOMPARE(c.item(QStringLiteral("shop/old"))->text(0), QStringLiteral("old"));
        QPushButton* ok = c.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        QVERIFY(!ok->isEnabled());
        QVERIFY(c.chosenEntries().isEmpty());

        c.item(QStringLiteral("shop/old"))->setCheckState(0, Qt::Checked);
        c.item(QStringLiteral("Web Root Directory"))->setCheckState(0, Qt::Checked);
        root->setCheckState(0, Qt::Checked);
        c.item(QStringLiteral("about"))->setCheckState(0, Qt::Checked);
        QVERIFY(ok->isEnabled());
        // Tree order; the folder named like the root entry is kept apart from the root.
        QCOMPARE(c.chosenEntries(),
                 (QStringList{"Web Root Directory", "about", "shop/old", "Web Root Directory/"}));
    }
};

QTEST_MAIN(TestBatchDialogs)
#include "tst_batchdialogs.moc"
