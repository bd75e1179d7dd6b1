// Every window of both programs grows with its font: with a large one no caption is cut off, and
// with the default one each window starts at its own size.
#include "analysis/batch/batchprogress.h"
#include "analysis/batch/folderchooser.h"
#include "analysis/batch/pageselection.h"
#include "analysis/keywords/bodychecktester.h"
#include "analysis/keywords/keywordgenerator.h"
#include "analysis/proxy/proxysettings.h"
#include "analysis/rules/ruleeditor.h"
#include "analysis/rules/rulestore.h"
#include "analysis/shell/about.h"
#include "analysis/shell/pagechooser.h"
#include "support/quillmarkharness.h"
#include "support/tidewellharness.h"
#include "updater/settingswindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeWidget>
#include <QtTest>

#include <functional>
#include <memory>

using namespace testsupport;

namespace {

const QString kLargeFont = QStringLiteral("* { font-size: 15pt }");

// What the windows are built from; each window is made anew for each check.
struct Fixture {
    QuillmarkHarness quillmark;
    TidewellHarness tidewell{9}; // port 9 is never reached: nothing here talks to a server
    QStringList batchPages;
    std::vector<std::unique_ptr<QObject>> keep;
};

using Factory = std::function<QWidget*(Fixture&)>;

template <typename W> W* own(Fixture& f, W* w) {
    f.keep.emplace_back(w);
    return w;
}

struct Window {
    const char* name;
    QSize start; // the size it is described with; none for a window without one
    Factory make;
};

const QList<Window>& windows() {
    static const QList<Window> list = {
        {"about",
         {300, 160},
         [](Fixture& f) {
             return own(
                 f, new quillmark::AboutBox(f.quillmark.dialogs, f.quillmark.env.programFolder()));
         }},
        {"proxy settings",
         {482, 172},
         [](Fixture& f) {
             auto& q = f.quillmark;
             return own(f, new quillmark::ProxySettingsDialog(q.dialogs, q.help, QString(),
                                                              q.env.registryPath(),
                                                              rules::kSettingsKey));
         }},
        {"batch progress",
         {420, 84},
         [](Fixture& f) { return own(f, new quillmark::BatchProgressWindow); }},
        {"keyword generator",
         {520, 440},
         [](Fixture& f) {
             auto& q = f.quillmark;
             return own(f, new quillmark::KeywordGenerator(q.dialogs, q.help, q.env.registryPath(),
                                                           q.env.folders()));
         }},
        {"rule editor",
         {576, 435},
         [](Fixture& f) {
             auto& q = f.quillmark;
             return own(f, new quillmark::RuleEditor(q.dialogs, q.help, QString(), q.env.folders(),
                                                     q.env.registryPath()));
         }},
        {"page selection",
         {540, 380},
         [](Fixture& f) {
             auto* d = own(
                 f, new quillmark::PageSelectionDialog(f.batchPages, f.quillmark.help, QString()));
             d->addRows({QStringLiteral("index.htm"), QStringLiteral("about.htm")});
             return d;
         }},
        {"body check tester",
         {600, 420},
         [](Fixture& f) { return own(f, new quillmark::BodyCheckTester); }},
        {"page chooser",
         {420, 360},
         [](Fixture& f) {
             return own(f, new quillmark::PageChooser({QStringLiteral("index.htm")},
                                                      QStringLiteral("index.htm")));
         }},
        {"folder chooser",
         {420, 420},
         [](Fixture& f) {
             return own(f, new quillmark::FolderChooser(
                               {QStringLiteral("Web Root Directory"), QStringLiteral("shop")}));
         }},
        {"quillmark", {636, 463}, [](Fixture& f) -> QWidget* { return f.quillmark.start(); }},
        {"tidewell",
         {421, 212},
         [](Fixture& f) -> QWidget* {
             tidewell::MainWindow* w = f.tidewell.start();
             // The download row, hidden until a transfer, must fit as well.
             w->findChild<QWidget*>(QStringLiteral("progressRow"))->setVisible(true);
             return w;
         }},
        // 300 x 164 as described, taller by the encrypted-connection and signed-only rows.
        {"tidewell settings",
         {300, 224},
         [](Fixture& f) { return own(f, new tidewell::SettingsWindow(f.tidewell.services)); }},
    };
    return list;
}

void windowTable() {
    QTest::addColumn<int>("index");
    for (int i = 0; i < windows().size(); ++i)
        QTest::newRow(windows().at(i).name) << i;
}

QString describe(const QWidget* w, const QString& text) {
    return QStringLiteral("%1 \"%2\" %3x%4")
        .arg(QString::fromLatin1(w->metaObject()->className()), text)
        .arg(w->width())
        .arg(w->height());
}

// The visible captions that have less room than they need.
QStringList clippedCaptions(const QWidget* window) {
    QStringList out;
    for (const QLabel* l : window->findChildren<QLabel*>()) {
        if (!l->isVisibleTo(window))
            continue;
        const bool fits = l->wordWrap() ? l->height() >= l->heightForWidth(l->width())
                                        : l->width() >= l->sizeHint().width() &&
                                              l->height() >= l->sizeHint().height();
        if (!fits)
            out << describe(l, l->text());
    }
    for (const QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
        if (!b->isVisibleTo(window))
            continue;
        // The arrow a toolbar shows for the buttons that did not fit.
        if (b->objectName() == QLatin1String("qt_toolbar_ext_button"))
            out << describe(b, QStringLiteral("toolbar overflow"));
        else if (b->width() < b->sizeHint().width() || b->height() < b->sizeHint().height())
            out << describe(b, b->text());
    }
    for (const QGroupBox* g : window->findChildren<QGroupBox*>())
        if (g->isVisibleTo(window) && g->width() < g->minimumSizeHint().width())
            out << describe(g, g->title());
    return out;
}

} // namespace

class TestWindowLayout : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { qApp->setStyleSheet(QString()); }

    void startsAtItsSize_data() { windowTable(); }
    void startsAtItsSize() {
        QFETCH(int, index);
        const Window& w = windows().at(index);
        Fixture f;
        QWidget* window = w.make(f);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(window->size(), w.start);
        QVERIFY(window->minimumSize().width() <= w.start.width());
        QVERIFY(window->minimumSize().height() <= w.start.height());
        QCOMPARE(clippedCaptions(window), QStringList());
    }

    // Every page of a tabbed window is looked at, and the window cannot be made smaller than
    // what its captions need.
    void largeFontClipsNothing_data() { windowTable(); }
    void largeFontClipsNothing() {
        QFETCH(int, index);
        qApp->setStyleSheet(kLargeFont);
        Fixture f;
        QWidget* window = windows().at(index).make(f);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(window->font().pointSize(), 15);
        for (const QSize& size : {window->size(), QSize(1, 1)}) {
            window->resize(size);
            const QList<QTabWidget*> tabs = window->findChildren<QTabWidget*>();
            for (QTabWidget* t : tabs)
                for (int i = 0; i < t->count(); ++i) {
                    t->setCurrentIndex(i);
                    QCoreApplication::processEvents();
                    const QStringList clipped = clippedCaptions(window);
                    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(u"; ")));
                }
            if (tabs.isEmpty()) {
                QCoreApplication::processEvents();
                const QStringList clipped = clippedCaptions(window);
                QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(u"; ")));
            }
        }
    }

    // The list headings of tidewell and the keyword generator are shown whole, at the windows'
    // starting sizes, with either font; the columns keep at least their own widths.
    void listHeadingsShownWhole_data() {
        QTest::addColumn<QString>("styleSheet");
        QTest::newRow("default font") << QString();
        QTest::newRow("large font") << kLargeFont;
    }
    void listHeadingsShownWhole() {
        QFETCH(QString, styleSheet);
        qApp->setStyleSheet(styleSheet);
        Fixture f;
        tidewell::MainWindow* w = f.tidewell.start();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        auto* generator = own(f, new quillmark::KeywordGenerator(
                                     f.quillmark.dialogs, f.quillmark.help,
                                     f.quillmark.env.registryPath(), f.quillmark.env.folders()));
        generator->show();
        QVERIFY(QTest::qWaitForWindowExposed(generator));
        QCoreApplication::processEvents();
        QStringList clipped;
        for (const QHeaderView* h : {w->productList->header(), generator->wordList->header()})
            for (int i = 0; i < h->count(); ++i)
                if (!h->isSectionHidden(i) && h->sectionSize(i) < h->sectionSizeHint(i))
                    clipped << QStringLiteral("%1 %2 < %3")
                                   .arg(h->model()->headerData(i, Qt::Horizontal).toString())
                                   .arg(h->sectionSize(i))
                                   .arg(h->sectionSizeHint(i));
        QCOMPARE(clipped, QStringList());
        const QHeaderView* h = w->productList->header();
        QCOMPARE(h->sectionSize(int(tidewell::MainWindow::Column::InstalledVersion)) >= 90, true);
        QCOMPARE(h->sectionSize(int(tidewell::MainWindow::Column::OfferedVersion)) >= 109, true);
        QCOMPARE(generator->wordList->header()->sectionSize(0) >= 190, true);
        QCOMPARE(generator->wordList->header()->sectionSize(1) >= 90, true);
    }

    // A window made with the default font follows a larger one set later.
    void followsALaterFont() {
        Fixture f;
        auto* about =
            own(f, new quillmark::AboutBox(f.quillmark.dialogs, f.quillmark.env.programFolder()));
        about->show();
        QVERIFY(QTest::qWaitForWindowExposed(about));
        qApp->setStyleSheet(kLargeFont);
        QTRY_COMPARE(clippedCaptions(about), QStringList());
        QVERIFY(about->width() > 300);
    }
};

QTEST_MAIN(TestWindowLayout)
#include "tst_windowlayout.moc"
