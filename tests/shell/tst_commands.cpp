// Every command of the main window, reached as a user reaches it: the menu items, the toolbar
// buttons, the menus behind the toolbar arrows and the keyboard shortcuts. Each row names the way
// in and what the command was seen to do through the seams.
#include "analysis/results/resultpane.h"
#include "analysis/results/resultsfile.h"
#include "analysis/results/resultstexts.h"
#include "analysis/shell/about.h"
#include "platform/textfile.h"
#include "support/modal.h"
#include "support/quillmarkharness.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStyle>
#include <QStyleOptionToolButton>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

#include <cmath>

namespace {

// Relative luminance and contrast ratio as the accessibility guidelines define them.
double luminance(const QColor& c) {
    auto linear = [](double v) {
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

double contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

// A pixel as it shows on the ground colour.
QColor over(QRgb pixel, const QColor& ground) {
    const double a = qAlpha(pixel) / 255.0;
    auto mix = [a](int top, int below) { return int(top * a + below * (1 - a) + 0.5); };
    return QColor(mix(qRed(pixel), ground.red()), mix(qGreen(pixel), ground.green()),
                  mix(qBlue(pixel), ground.blue()));
}

} // namespace

using testsupport::failedPane;
using testsupport::keywordPane;
using testsupport::passedPane;
using testsupport::QuillmarkHarness;
using Kind = platform::Dialogs::Kind;

namespace {

const QStringList kPassed{"Listing of files that passed the checks.", "File = earlier.htm"};
const QStringList kFailed{"Listing of files that failed the checks.", "", "File = about.htm",
                          "    Error: author Does not have a value", ""};
const QStringList kKeyword{"Keyword Check", "", "File = earlier.htm", "shoes - 2 "};
const QString kClipboard = QStringLiteral("on the clipboard before");
const QString kQuestion = QStringLiteral("View the report in your browser?   Continue?");

QString kindName(Kind kind) {
    switch (kind) {
    case Kind::Information:
        return QStringLiteral("information");
    case Kind::Error:
        return QStringLiteral("error");
    case Kind::Warning:
        return QStringLiteral("warning");
    case Kind::Confirmation:
        return QStringLiteral("confirmation");
    case Kind::Plain:
        return QStringLiteral("plain");
    }
    return QStringLiteral("?");
}

QString lineText(const QStringList& lines) {
    QString text;
    for (const QString& l : lines)
        text += l + QLatin1Char('\n');
    return text;
}

QStringList allLines() {
    return results::allResultsLines(kPassed, kFailed, kKeyword);
}

// The text each pane (or all of them) is recognised by on the clipboard and in a mail.
QString contentName(const QString& text, bool mail) {
    const auto as = [mail](const QStringList& lines) {
        return mail ? platform::joinLines(lines) : lineText(lines);
    };
    if (text == as(kPassed) || (!mail && text == lineText(kPassed).chopped(1)))
        return QStringLiteral("passed");
    if (text == as(kFailed) || (!mail && text == lineText(kFailed).chopped(1)))
        return QStringLiteral("failed");
    if (text == as(kKeyword) || (!mail && text == lineText(kKeyword).chopped(1)))
        return QStringLiteral("keyword");
    if (text == as(allLines()))
        return QStringLiteral("all");
    if (text == kFailed.first())
        return QStringLiteral("selection");
    if (text == kClipboard)
        return QStringLiteral("unchanged");
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// The main window shown and active, the panes filled, the first line of the failed pane
// selected and focused.
struct Window {
    QuillmarkHarness h;
    quillmark::MainWindow* form = nullptr;

    Window() {
        form = h.startShown();
        form->activateWindow();
        if (!QTest::qWaitForWindowActive(form))
            qWarning("main window not active");
        for (QPlainTextEdit* pane : {passedPane(form), failedPane(form), keywordPane(form)})
            results::clearPane(pane);
        results::addPaneLines(passedPane(form), kPassed);
        results::addPaneLines(failedPane(form), kFailed);
        results::addPaneLines(keywordPane(form), kKeyword);
        failedPane(form)->setFocus();
        QTextCursor c(failedPane(form)->document());
        c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        failedPane(form)->setTextCursor(c);
        QGuiApplication::clipboard()->setText(kClipboard);
    }

    // What the action did, one line per observable effect.
    QStringList run(const std::function<void()>& action) {
        const QList<QPlainTextEdit*> panes{passedPane(form), failedPane(form), keywordPane(form)};
        const QStringList paneNames{"passed", "failed", "keyword"};
        QList<QStringList> before;
        for (QPlainTextEdit* p : panes)
            before.append(results::paneLines(p));
        const qsizetype boxes = h.dialogs.shown.size(), files = h.fileDialogs.asked.size(),
                        topics = h.help.topics.size(), opened = h.shell.opened.size(),
                        mails = h.mail.sent.size(), jobs = h.printer.jobs.size();
        const int setups = h.printer.setupCalls;

        QStringList seen;
        {
            // Every modal window the command opens is closed, as Cancel would close it.
            const auto closer = testsupport::ModalScript::closeEach();
            action();
            QCoreApplication::processEvents();
            for (const QString& window : closer.seen())
                seen.append(QStringLiteral("window ") + window);
        }
        for (const auto& b : h.dialogs.shown.mid(boxes))
            seen.append(QStringLiteral("box %1: %2").arg(kindName(b.kind), b.text));
        for (const auto& f : h.fileDialogs.asked.mid(files))
            seen.append(QStringLiteral("file dialog %1: %2").arg(f.kind, f.options.title));
        for (const auto& t : h.help.topics.mid(topics)) {
            seen.append(QStringLiteral("help %1").arg(t.topic));
            if (t.file != h.env.programFolder() + QStringLiteral("quillmark.hlp"))
                seen.append(QStringLiteral("help file ") + t.file);
        }
        for (const QUrl& u : h.shell.opened.mid(opened))
            seen.append(QStringLiteral("open ") + u.fileName());
        for (const auto& m : h.mail.sent.mid(mails))
            seen.append(QStringLiteral("mail %1: %2").arg(m.subject, contentName(m.body, true)));
        for (const auto& j : h.printer.jobs.mid(jobs))
            seen.append(QStringLiteral("print ") + j.title);
        if (h.printer.setupCalls != setups)
            seen.append(QStringLiteral("printer setup"));
        const QString clip = contentName(QGuiApplication::clipboard()->text(), false);
        if (clip != QLatin1String("unchanged"))
            seen.append(QStringLiteral("clipboard ") + clip);
        for (qsizetype i = 0; i < panes.size(); ++i) {
            if (results::paneIsEmpty(panes[i]) && !before[i].isEmpty())
                seen.append(QStringLiteral("cleared ") + paneNames[i]);
            else if (results::paneLines(panes[i]) != before[i])
                seen.append(QStringLiteral("changed ") + paneNames[i]);
        }
        if (const auto* about = form->findChild<quillmark::AboutBox*>();
            about && about->isVisible())
            seen.append(QStringLiteral("about box"));
        if (!form->isVisible())
            seen.append(QStringLiteral("closed"));
        return seen;
    }
};

QString actionText(const QAction* a) {
    if (a->isSeparator())
        return QStringLiteral("-");
    QString s = a->text();
    if (!a->shortcut().isEmpty())
        s += QStringLiteral(" (%1)").arg(a->shortcut().toString(QKeySequence::PortableText));
    return s;
}

QStringList menuTexts(const QMenu* menu) {
    QStringList out;
    for (const QAction* a : menu->actions())
        out.append(actionText(a));
    return out;
}

QMenu* topMenu(quillmark::MainWindow* form, const QString& caption) {
    for (QAction* a : form->menuBar()->actions())
        if (a->text() == caption)
            return a->menu();
    return nullptr;
}

QAction* findAction(QMenu* menu, const QString& caption) {
    if (!menu)
        return nullptr;
    for (QAction* a : menu->actions())
        if (a->text() == caption)
            return a;
    return nullptr;
}

QToolBar* toolBar(quillmark::MainWindow* form) {
    return form->findChild<QToolBar*>(QStringLiteral("ToolBar1"), Qt::FindDirectChildrenOnly);
}

QList<QToolButton*> toolButtons(quillmark::MainWindow* form) {
    QList<QToolButton*> out;
    for (QAction* a : toolBar(form)->actions())
        if (auto* b = qobject_cast<QToolButton*>(toolBar(form)->widgetForAction(a)))
            out.append(b);
    return out;
}

QToolButton* toolButton(quillmark::MainWindow* form, const QString& caption) {
    for (QToolButton* b : toolButtons(form))
        if (b->text() == caption)
            return b;
    return nullptr;
}

// Presses the arrow of a drop-down button and picks the item from the menu that pops up.
bool pickFromArrow(QToolButton* button, const QString& caption) {
    bool picked = false;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!popup || popup != button->menu())
            return;
        poll.stop();
        QAction* a = findAction(popup, caption);
        if (!a) {
            popup->close();
            return;
        }
        picked = true;
        QTest::mouseClick(popup, Qt::LeftButton, {}, popup->actionGeometry(a).center());
    });
    poll.start();
    QStyleOptionToolButton option;
    option.initFrom(button);
    option.features = QStyleOptionToolButton::MenuButtonPopup;
    option.subControls = QStyle::SC_ToolButton | QStyle::SC_ToolButtonMenu;
    const QRect arrow = button->style()->subControlRect(QStyle::CC_ToolButton, &option,
                                                        QStyle::SC_ToolButtonMenu, button);
    // The menu runs its own loop until an item is picked.
    QTest::mousePress(button, Qt::LeftButton, {}, arrow.center());
    QTest::mouseRelease(button, Qt::LeftButton, {}, arrow.center());
    (void)QTest::qWaitFor([button] { return !button->menu()->isVisible(); }, 5000);
    return picked;
}

QKeyCombination parseKey(const QString& text) {
    const QKeySequence seq(text, QKeySequence::PortableText);
    return seq[0];
}

const QString kCheck = QStringLiteral("box confirmation: ") + kQuestion;

} // namespace

class TestCommands : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // Tests run offscreen and without a window manager: an active window is the platform's.
        QApplication::setEffectEnabled(Qt::UI_AnimateMenu, false);
    }

    // Menu bar and toolbar as the user sees them: captions with their access keys, separators,
    // shortcuts, hints, drop-down menus, pictures; nothing greyed out.
    void structure() {
        QuillmarkHarness h;
        auto* form = h.start();

        QStringList menus;
        for (const QAction* a : form->menuBar()->actions())
            menus.append(a->text());
        QCOMPARE(menus, (QStringList{"&File", "&Edit", "&Clear", "&Special", "&Web", "&Help"}));
        QCOMPARE(menuTexts(topMenu(form, "&File")),
                 (QStringList{
                     "&Check Current File (Ctrl+O)", "&Batch Check (All Files) ...",
                     "Ba&tch Check (Select Folder) ...", "-", "Send Results to &Mail Recipient ...",
                     "&Failed URLs to Mail Recipient ...", "Passed &URLs to Mail Recipient ...",
                     "&Open Results File ...", "Sa&ve Current Results ...", "-", "&Print (Ctrl+P)",
                     "Print F&ailed Report", "P&rint Passed Report",
                     "Print &Keyword Density Results", "Printer &Setup ...", "-", "E&xit"}));
        QCOMPARE(menuTexts(topMenu(form, "&Edit")),
                 (QStringList{"&Rule Base ...", "-", "Cu&t (Ctrl+X)", "&Copy (Ctrl+C)",
                              "&Paste (Ctrl+V)", "-", "Copy &Files that Passed",
                              "C&opy Files that Failed", "Copy &Keyword Density Results",
                              "Copy &All Results", "-", "Pro&xy Settings ..."}));
        QCOMPARE(menuTexts(topMenu(form, "&Clear")),
                 (QStringList{"Files That &Passed", "Files That &Failed",
                              "&Keyword Density Results", "-", "&All Results"}));
        QCOMPARE(menuTexts(topMenu(form, "&Special")),
                 (QStringList{"&Generate Keywords ...", "&Body Check Tester ...", "-",
                              "&Open Current Results in Browser"}));
        QCOMPARE(menuTexts(topMenu(form, "&Web")),
                 (QStringList{"&Open Web Folder ...", "Open &Page ..."}));
        QCOMPARE(menuTexts(topMenu(form, "&Help")),
                 (QStringList{"&Contents (Ctrl+F1)", "&Overview", "Checking the Current &File",
                              "&Batch Check", "&Understanding the checks",
                              "The &Keyword Density / Spam Check Pane", "-", "&Mailing the results",
                              "&Setting Up Values in the Rule Base", "Getting Started &Q&&A", "-",
                              "&About ... (F1)"}));

        const QStringList pane{"Files that Passed", "Files that Failed", "Keyword Density Results",
                               "-", "All Results"};
        const QStringList paneCaps{"Files That Passed", "Files That Failed",
                                   "Keyword Density Results", "-", "All Results"};
        const QList<std::tuple<QString, QString, QStringList>> buttons{
            {"Open", "Open results", {}},
            {"Save", "Save results", {}},
            {"Send ", "Send results to a mail recipient", paneCaps},
            {"Print", "Print results", paneCaps},
            {"Settings", "Quillmark settings", {}},
            {"Cut", "Cut", {}},
            {"Copy", "Copy", pane},
            {"Paste", "Paste", {}},
            {"Clear", "Clear results", pane},
            {"Build", "Build keywords", {}},
            {"Run",
             "Run analysis",
             {"Check Current File", "Batch Check (All Files) ...",
              "Batch Check (Select Folder) ...", "-", "Body Check Tester ..."}},
            {"Rules", "Quillmark RuleBase", {}},
            {"Close", "Close", {}},
        };
        const QList<QToolButton*> shown = toolButtons(form);
        QCOMPARE(shown.size(), buttons.size());
        for (qsizetype i = 0; i < buttons.size(); ++i) {
            const auto& [caption, hint, items] = buttons[i];
            QToolButton* b = shown[i];
            QCOMPARE(b->text(), caption);
            QCOMPARE(b->toolTip(), hint);
            QCOMPARE(b->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
            // A picture, and a different one while the pointer is over the button.
            const QSize size = b->iconSize();
            QVERIFY2(!b->icon().isNull(), qPrintable(caption));
            QVERIFY2(b->icon().pixmap(size, QIcon::Normal).toImage() !=
                         b->icon().pixmap(size, QIcon::Active).toImage(),
                     qPrintable(caption));
            if (items.isEmpty()) {
                QCOMPARE(b->menu(), nullptr);
            } else {
                QVERIFY2(b->menu(), qPrintable(caption));
                QCOMPARE(menuTexts(b->menu()), items);
                // The button runs its own command; its arrow opens the menu.
                QCOMPARE(b->popupMode(), QToolButton::MenuButtonPopup);
            }
        }

        QList<QAction*> actions;
        for (QAction* m : form->menuBar()->actions())
            actions += m->menu()->actions();
        for (QToolButton* b : shown) {
            QVERIFY2(b->isEnabled(), qPrintable(b->text()));
            if (b->menu())
                actions += b->menu()->actions();
        }
        for (QAction* a : actions)
            QVERIFY2(a->isEnabled(), qPrintable(a->text()));
    }

    // At the window's first size every button is on the toolbar itself, none behind its
    // extension arrow, and no caption is cut.
    void toolbarFitsTheWindow() {
        QuillmarkHarness h;
        auto* form = h.startShown();
        QCOMPARE(form->size(), QSize(636, 463));
        for (QToolButton* b : toolButtons(form)) {
            QVERIFY2(b->isVisible(), qPrintable(b->text()));
            QVERIFY2(toolBar(form)->rect().contains(b->geometry()), qPrintable(b->text()));
            QVERIFY2(b->width() >= b->fontMetrics().horizontalAdvance(b->text()),
                     qPrintable(b->text()));
            QCOMPARE(b->iconSize(), QSize(24, 24));
        }
    }

    // On a dark palette every picture's glyph stands out from the window colour as text must
    // (4.5:1); on the light one the pictures are the committed ones. They follow the palette.
    void picturesFollowThePalette() {
        QuillmarkHarness h;
        auto* form = h.start();
        const QPalette light = qApp->palette();
        QPalette dark = light;
        const QColor window(0x20, 0x20, 0x20);
        for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            dark.setColor(g, QPalette::Window, window);
            dark.setColor(g, QPalette::Button, window);
            dark.setColor(g, QPalette::Base, QColor(0x18, 0x18, 0x18));
            for (QPalette::ColorRole r :
                 {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
                dark.setColor(g, r, QColor(0xe0, 0xe0, 0xe0));
        }
        QList<QImage> committed;
        for (const QFileInfo& file : QDir(QStringLiteral(":/toolbar")).entryInfoList())
            if (!file.baseName().endsWith(QLatin1String("-hot")))
                committed
                    << QImage(file.filePath()).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QCOMPARE(committed.size(), 13);
        // Premultiplied, as a pixmap holds it, so that a committed picture compares equal.
        auto picture = [](const QToolButton* b) {
            return b->icon()
                .pixmap(QSize(32, 32), QIcon::Normal)
                .toImage()
                .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        };

        const QList<QToolButton*> buttons = toolButtons(form);
        QList<QImage> shownLight;
        for (const QToolButton* b : buttons) {
            shownLight << picture(b);
            QVERIFY2(committed.contains(shownLight.last()), qPrintable(b->text()));
        }

        qApp->setPalette(dark);
        QCoreApplication::processEvents();
        QCOMPARE(form->palette().color(QPalette::Window), window);
        for (qsizetype i = 0; i < buttons.size(); ++i) {
            // The glyph: the pixels the committed picture covers fully in its glyph colour.
            const QImage shown = picture(buttons[i]).convertToFormat(QImage::Format_ARGB32);
            int glyphPixels = 0;
            double worst = 21;
            for (int y = 0; y < 32; ++y)
                for (int x = 0; x < 32; ++x) {
                    if (shownLight[i].pixel(x, y) != qRgba(0x1d, 0x4e, 0x89, 255))
                        continue;
                    ++glyphPixels;
                    worst = qMin(worst, contrast(over(shown.pixel(x, y), window), window));
                }
            QVERIFY2(glyphPixels > 20, qPrintable(buttons[i]->text()));
            QVERIFY2(worst >= 4.5,
                     qPrintable(QStringLiteral("%1: %2").arg(buttons[i]->text()).arg(worst)));
        }

        qApp->setPalette(light);
        QCoreApplication::processEvents();
        for (qsizetype i = 0; i < buttons.size(); ++i)
            QCOMPARE(picture(buttons[i]), shownLight[i]);
    }

    void everyCommand_data() {
        QTest::addColumn<QString>("way");
        QTest::addColumn<QStringList>("expected");
        const QString passed = results::kPassedJob, failed = results::kFailedJob,
                      keyword = results::kKeywordJob, subject = results::kMailSubject,
                      kwSubject = results::kKeywordMailSubject;
        const QStringList check{kCheck, "changed passed", "changed failed", "changed keyword"};
        const QStringList mailAll{QStringLiteral("mail %1: all").arg(subject)};
        const QStringList printAll{"print " + passed, "print " + failed, "print " + keyword};
        const auto row = [](const QString& way, const QStringList& expected) {
            QTest::newRow(qPrintable(way)) << way << expected;
        };

        // Main menu.
        row("&File > &Check Current File", check);
        row("&File > &Batch Check (All Files) ...", {"window quillmark::PageSelectionDialog"});
        row("&File > Ba&tch Check (Select Folder) ...", {"window quillmark::FolderChooser"});
        row("&File > Send Results to &Mail Recipient ...", mailAll);
        row("&File > &Failed URLs to Mail Recipient ...", {"mail " + subject + ": failed"});
        row("&File > Passed &URLs to Mail Recipient ...", {"mail " + subject + ": passed"});
        row("&File > &Open Results File ...", {"file dialog open: " + results::kOpenTitle});
        row("&File > Sa&ve Current Results ...", {"file dialog save: "});
        row("&File > &Print", printAll);
        row("&File > Print F&ailed Report", {"print " + failed});
        row("&File > P&rint Passed Report", {"print " + passed});
        row("&File > Print &Keyword Density Results", {"print " + keyword});
        row("&File > Printer &Setup ...", {"printer setup"});
        row("&File > E&xit", {"closed"});
        row("&Edit > &Rule Base ...", {"window quillmark::RuleEditor"});
        row("&Edit > Cu&t", {"clipboard selection", "changed failed"});
        row("&Edit > &Copy", {"clipboard selection"});
        row("&Edit > &Paste", {"changed failed"});
        row("&Edit > Copy &Files that Passed", {"clipboard passed"});
        row("&Edit > C&opy Files that Failed", {"clipboard failed"});
        row("&Edit > Copy &Keyword Density Results", {"clipboard keyword"});
        row("&Edit > Copy &All Results", {"clipboard all"});
        row("&Edit > Pro&xy Settings ...", {"window quillmark::ProxySettingsDialog"});
        row("&Clear > Files That &Passed", {"cleared passed"});
        row("&Clear > Files That &Failed", {"cleared failed"});
        row("&Clear > &Keyword Density Results", {"cleared keyword"});
        row("&Clear > &All Results", {"cleared passed", "cleared failed", "cleared keyword"});
        row("&Special > &Generate Keywords ...", {"window quillmark::KeywordGenerator"});
        row("&Special > &Body Check Tester ...", {"window quillmark::BodyCheckTester"});
        row("&Special > &Open Current Results in Browser", {"open temp.html"});
        row("&Web > &Open Web Folder ...", {"file dialog folder: Open Web Folder"});
        row("&Web > Open &Page ...", {"window quillmark::PageChooser"});
        row("&Help > &Contents", {"help 0"});
        row("&Help > &Overview", {"help 8"});
        row("&Help > Checking the Current &File", {"help 112"});
        row("&Help > &Batch Check", {"help 119"});
        row("&Help > &Understanding the checks", {"help 120"});
        row("&Help > The &Keyword Density / Spam Check Pane", {"help 113"});
        row("&Help > &Mailing the results", {"help 16"});
        row("&Help > &Setting Up Values in the Rule Base", {"help 3"});
        row("&Help > Getting Started &Q&&A", {"help 5"});
        row("&Help > &About ...", {"about box"});

        // Toolbar buttons.
        row("[Open]", {"file dialog open: " + results::kOpenTitle});
        row("[Save]", {"file dialog save: "});
        row("[Send ]", mailAll);
        row("[Print]", {"printer setup"});
        row("[Settings]", {"window quillmark::ProxySettingsDialog"});
        row("[Cut]", {"clipboard selection", "changed failed"});
        row("[Copy]", {"clipboard selection"});
        row("[Paste]", {"changed failed"});
        row("[Clear]", {"cleared passed", "cleared failed", "cleared keyword"});
        row("[Build]", {"window quillmark::KeywordGenerator"});
        row("[Run]", check);
        row("[Rules]", {"window quillmark::RuleEditor"});
        row("[Close]", {"closed"});

        // The menus behind the arrows.
        row("[Send ] > Files That Passed", {"mail " + subject + ": passed"});
        row("[Send ] > Files That Failed", {"mail " + subject + ": failed"});
        row("[Send ] > Keyword Density Results", {"mail " + kwSubject + ": keyword"});
        row("[Send ] > All Results", mailAll);
        row("[Print] > Files That Passed", {"print " + passed});
        row("[Print] > Files That Failed", {"print " + failed});
        // The same pane as the File menu's "Print Keyword Density Results".
        row("[Print] > Keyword Density Results", {"print " + keyword});
        row("[Print] > All Results", printAll);
        row("[Copy] > Files that Passed", {"clipboard passed"});
        row("[Copy] > Files that Failed", {"clipboard failed"});
        row("[Copy] > Keyword Density Results", {"clipboard keyword"});
        row("[Copy] > All Results", {"clipboard all"});
        row("[Clear] > Files that Passed", {"cleared passed"});
        row("[Clear] > Files that Failed", {"cleared failed"});
        row("[Clear] > Keyword Density Results", {"cleared keyword"});
        row("[Clear] > All Results", {"cleared passed", "cleared failed", "cleared keyword"});
        row("[Run] > Check Current File", check);
        row("[Run] > Batch Check (All Files) ...", {"window quillmark::PageSelectionDialog"});
        row("[Run] > Batch Check (Select Folder) ...", {"window quillmark::FolderChooser"});
        row("[Run] > Body Check Tester ...", {"window quillmark::BodyCheckTester"});

        // Keys pressed in the window.
        row("key Ctrl+O", check); // the same check as Run
        row("key Ctrl+P", printAll);
        row("key Ctrl+X", {"clipboard selection", "changed failed"});
        row("key Ctrl+C", {"clipboard selection"});
        row("key Ctrl+V", {"changed failed"});
        row("key F1", {"about box"}); // not the help file
        row("key Ctrl+F1", {"help 0"});
    }

    void everyCommand() {
        QFETCH(QString, way);
        QFETCH(QStringList, expected);
        Window w;
        std::function<void()> action;
        if (way.startsWith(QLatin1String("key "))) {
            const QKeyCombination key = parseKey(way.mid(4));
            action = [form = w.form, key] {
                QTest::keyClick(form, key.key(), key.keyboardModifiers());
            };
        } else if (way.startsWith(QLatin1Char('['))) {
            const qsizetype end = way.indexOf(QLatin1Char(']'));
            QToolButton* button = toolButton(w.form, way.mid(1, end - 1));
            QVERIFY2(button, qPrintable(way));
            const QString item = way.mid(end + 1).section(QStringLiteral(" > "), 1);
            if (item.isEmpty())
                action = [button] { QTest::mouseClick(button, Qt::LeftButton); };
            else
                action = [button, item, way] {
                    QVERIFY2(pickFromArrow(button, item), qPrintable(way));
                };
        } else {
            QAction* a = findAction(topMenu(w.form, way.section(QStringLiteral(" > "), 0, 0)),
                                    way.section(QStringLiteral(" > "), 1));
            QVERIFY2(a, qPrintable(way));
            action = [a] { a->trigger(); };
        }
        const QStringList seen = w.run(action);
        QCOMPARE(seen, expected);
    }

    // While a check or a run is under way every command waits; a key does nothing either.
    void commandsWaitWhileBusy() {
        Window w;
        quillmark::MainWindow::BusyScope busy(*w.form);
        QAction* print = findAction(topMenu(w.form, "&File"), "&Print");
        QVERIFY(print);
        const QStringList seen = w.run([&] {
            print->trigger();
            QTest::mouseClick(toolButton(w.form, "Clear"), Qt::LeftButton);
            QTest::keyClick(w.form, Qt::Key_O, Qt::ControlModifier);
        });
        QCOMPARE(seen, QStringList());
    }
};

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
