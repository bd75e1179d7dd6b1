// The main window's menus and toolbar. Every item calls one handler; items of the same
// operation call the same handler. An entry whose handler is not there yet is left out.
#include "mainwindow.h"
#include "toolbarpictures.h"

#include "platform/windowsize.h"

#include <QAction>
#include <QEvent>
#include <QIcon>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

#include <initializer_list>

// Resources of a static library are registered by hand.
static void initToolbarPictures() {
    Q_INIT_RESOURCE(icons);
}

namespace quillmark {

namespace {

struct Item {
    const char* caption; // "-" is a separator
    MainWindow::Handler handler = nullptr;
    const char* name = nullptr;
    const char* shortcut = nullptr;
    int helpTopic = -1; // a help item opens this topic
};

struct Menu {
    const char* caption;
    const char* name;
    std::initializer_list<Item> items;
};

struct Button {
    const char* caption;
    const char* hint;
    MainWindow::Handler handler;
    const char* name;
    std::initializer_list<Item> dropDown;
};

const Item kSeparator{"-"};

// The toolbar's pictures, by button: a normal one and a highlighted one for the pointer.
const std::pair<const char*, const char*> kPictures[] = {
    {"RzToolbarButton1", "open"},     {"RzToolbarButton2", "save"},
    {"RzToolbarButton3", "send"},     {"RzToolbarButton5", "print"},
    {"RzToolbarButton6", "settings"}, {"RzToolbarButton7", "cut"},
    {"RzToolbarButton8", "copy"},     {"RzToolbarButton9", "paste"},
    {"RzToolbarButton10", "clear"},   {"RzToolbarButton4", "build"},
    {"SpeedButton5", "run"},          {"SpeedButton2", "rules"},
    {"RzToolbarButton11", "close"},
};

// The toolbar's pictures are drawn at 32 pixels; shown a little smaller so that the toolbar
// leaves the panes their room.
constexpr int kPictureSize = 24;

// Fusion pads a toolbar button far beyond its caption: with that padding the thirteen buttons
// do not fit the window's width and the last ones vanish behind the toolbar's extension arrow.
class ToolbarButton : public QToolButton {
public:
    using QToolButton::QToolButton;
    QSize sizeHint() const override {
        const QSize full = QToolButton::sizeHint();
        const int caption = fontMetrics().horizontalAdvance(text()) + 8;
        const int picture = iconSize().width() + 8;
        const int arrow = popupMode() == MenuButtonPopup
                              ? style()->pixelMetric(QStyle::PM_MenuButtonIndicator, nullptr, this)
                              : 0;
        return {qMin(full.width(), qMax(caption, picture) + arrow), full.height()};
    }
    QSize minimumSizeHint() const override { return sizeHint(); }
};

// Adds the entries to a menu, leaving out those not built yet and any separator they strand.
void fill(MainWindow* form, QMenu* menu, std::initializer_list<Item> items) {
    bool pendingSeparator = false;
    for (const Item& it : items) {
        if (QLatin1String(it.caption) == QLatin1String("-")) {
            pendingSeparator = !menu->actions().isEmpty();
            continue;
        }
        if (!it.handler && it.helpTopic < 0)
            continue;
        if (pendingSeparator)
            menu->addSeparator();
        pendingSeparator = false;
        QAction* a = menu->addAction(QString::fromUtf8(it.caption));
        if (it.name)
            a->setObjectName(QString::fromLatin1(it.name));
        if (it.shortcut)
            a->setShortcut(QKeySequence(QString::fromLatin1(it.shortcut)));
        if (it.helpTopic >= 0) {
            const int topic = it.helpTopic;
            QObject::connect(a, &QAction::triggered, form,
                             [form, topic] { form->showHelpTopic(topic); });
        } else {
            const MainWindow::Handler h = it.handler;
            QObject::connect(a, &QAction::triggered, form, [form, h] { form->runCommand(h); });
        }
    }
}

} // namespace

void MainWindow::buildCommands() {
    initToolbarPictures();
    const std::initializer_list<Menu> menus = {
        {"&File",
         "File1",
         {
             {"&Check Current File", &MainWindow::checkCurrentFile, "CheckCurrentFile1", "Ctrl+O"},
             {"&Batch Check (All Files) ...", &MainWindow::batchCheckAllFiles,
              "BatchCheckAllFiles1"},
             {"Ba&tch Check (Select Folder) ...", &MainWindow::batchCheckSelectedFolders,
              "BatchCheckSelectFolder1"},
             kSeparator,
             {"Send Results to &Mail Recipient ...", &MainWindow::mailAllResults, "SendResults1"},
             {"&Failed URLs to Mail Recipient ...", &MainWindow::mailFailed, "FailedURLs1"},
             {"Passed &URLs to Mail Recipient ...", &MainWindow::mailPassed, "PassedURLs1"},
             {"&Open Results File ...", &MainWindow::openResultsFile, "OpenResultsFile1"},
             {"Sa&ve Current Results ...", &MainWindow::saveResults, "SaveCurrentResults1"},
             kSeparator,
             {"&Print", &MainWindow::printAllResults, "Print1", "Ctrl+P"},
             {"Print F&ailed Report", &MainWindow::printFailed, "PrintFailedReport1"},
             {"P&rint Passed Report", &MainWindow::printPassed, "PrintPassedReport1"},
             {"Print &Keyword Density Results", &MainWindow::printKeywordResults,
              "PrintKeywordDensityResults1"},
             {"Printer &Setup ...", &MainWindow::printerSetup, "PrinterSetup1"},
             kSeparator,
             {"E&xit", &MainWindow::exitProgram, "Exit1"},
         }},
        {"&Edit",
         "Edit1",
         {
             {"&Rule Base ...", &MainWindow::editRuleBase, "RuleBase1"},
             kSeparator,
             {"Cu&t", &MainWindow::cutText, "Cut1", "Ctrl+X"},
             {"&Copy", &MainWindow::copyText, "Copy1", "Ctrl+C"},
             {"&Paste", &MainWindow::pasteText, "Paste1", "Ctrl+V"},
             kSeparator,
             {"Copy &Files that Passed", &MainWindow::copyPassed, "CopyFilesthatPassed1"},
             {"C&opy Files that Failed", &MainWindow::copyFailed, "CopyFilesthatFailed1"},
             {"Copy &Keyword Density Results", &MainWindow::copyKeywordResults,
              "CopyKeywordDensityResults1"},
             {"Copy &All Results", &MainWindow::copyAllResults, "CopyAllResults1"},
             kSeparator,
             {"Pro&xy Settings ...", &MainWindow::editProxySettings, "ProxySettings1"},
         }},
        {"&Clear",
         "Clear1",
         {
             {"Files That &Passed", &MainWindow::clearPassed, "ClearPassed1"},
             {"Files That &Failed", &MainWindow::clearFailed, "ClearFailed1"},
             {"&Keyword Density Results", &MainWindow::clearKeyword, "ClearKeyword1"},
             kSeparator,
             {"&All Results", &MainWindow::clearAll, "ClearAll1"},
         }},
        {"&Special",
         "Special1",
         {
             {"&Generate Keywords ...", &MainWindow::openKeywordBuilder, "GenerateKeywords1"},
             {"&Body Check Tester ...", &MainWindow::showBodyCheckTester,
              "Showbodycheckcharacters1"},
             kSeparator,
             {"&Open Current Results in Browser", &MainWindow::viewResultsInBrowser,
              "OpenCurrentResultsinBrowser1"},
         }},
        {"&Web",
         "Web1",
         {
             {"&Open Web Folder ...", &MainWindow::openWebFolder, "OpenWebFolder1"},
             {"Open &Site ...", &MainWindow::openSite, "OpenSite1"},
             {"Open &Page ...", &MainWindow::openPage, "OpenPage1"},
         }},
        {"&Help",
         "Help1",
         {
             {"&Contents", nullptr, "Contents1", "Ctrl+F1", 0},
             {"&Overview", nullptr, "Overview1", nullptr, 8},
             {"Checking the Current &File", nullptr, "CheckingtheCurrentFile1", nullptr, 112},
             {"&Batch Check", nullptr, "BatchCheck1", nullptr, 119},
             {"&Understanding the checks", nullptr, "Understandingthechecks1", nullptr, 120},
             {"The &Keyword Density / Spam Check Pane", nullptr, "KeywordDensityPane1", nullptr,
              113},
             kSeparator,
             {"&Mailing the results", nullptr, "Mailingtheresults1", nullptr, 16},
             {"&Setting Up Values in the Rule Base", nullptr, "SettingUpValues1", nullptr, 3},
             {"Getting Started &Q&&A", nullptr, "GettingStarted1", nullptr, 5},
             kSeparator,
             {"&About ...", &MainWindow::showAbout, "About1", "F1"},
         }},
    };
    for (const Menu& m : menus) {
        if (!m_services.localWeb && QLatin1String(m.name) == QLatin1String("Web1"))
            continue;
        QMenu* menu = menuBar()->addMenu(QString::fromUtf8(m.caption));
        menu->setObjectName(QString::fromLatin1(m.name));
        fill(this, menu, m.items);
        // Sites are opened only where the host is the web that can be one.
        if (!m_services.openWeb)
            if (QAction* site = menu->findChild<QAction*>(QStringLiteral("OpenSite1")))
                delete site;
    }

    const std::initializer_list<Button> buttons = {
        {"Open", "Open results", &MainWindow::openResultsFile, "RzToolbarButton1", {}},
        {"Save", "Save results", &MainWindow::saveResults, "RzToolbarButton2", {}},
        {"Send ",
         "Send results to a mail recipient",
         &MainWindow::mailAllResults,
         "RzToolbarButton3",
         {
             {"Files That Passed", &MainWindow::mailPassed, "SendPassed1"},
             {"Files That Failed", &MainWindow::mailFailed, "SendFailed1"},
             {"Keyword Density Results", &MainWindow::mailKeywordResults, "SendKeyword1"},
             kSeparator,
             {"All Results", &MainWindow::mailAllResults, "SendAll1"},
         }},
        {"Print",
         "Print results",
         &MainWindow::printerSetup,
         "RzToolbarButton5",
         {
             {"Files That Passed", &MainWindow::printPassed, "PrintPassed1"},
             {"Files That Failed", &MainWindow::printFailed, "PrintFailed1"},
             {"Keyword Density Results", &MainWindow::printKeywordResults, "PrintKeyword1"},
             kSeparator,
             {"All Results", &MainWindow::printAllResults, "PrintAll1"},
         }},
        {"Settings", "Quillmark settings", &MainWindow::editProxySettings, "RzToolbarButton6", {}},
        {"Cut", "Cut", &MainWindow::cutText, "RzToolbarButton7", {}},
        {"Copy",
         "Copy",
         &MainWindow::copyText,
         "RzToolbarButton8",
         {
             {"Files that Passed", &MainWindow::copyPassed, "CopyPassed1"},
             {"Files that Failed", &MainWindow::copyFailed, "CopyFailed1"},
             {"Keyword Density Results", &MainWindow::copyKeywordResults, "CopyKeyword1"},
             kSeparator,
             {"All Results", &MainWindow::copyAllResults, "CopyAll1"},
         }},
        {"Paste", "Paste", &MainWindow::pasteText, "RzToolbarButton9", {}},
        {"Clear",
         "Clear results",
         &MainWindow::clearAll,
         "RzToolbarButton10",
         {
             {"Files that Passed", &MainWindow::clearPassed, "ClearPassed2"},
             {"Files that Failed", &MainWindow::clearFailed, "ClearFailed2"},
             {"Keyword Density Results", &MainWindow::clearKeyword, "ClearKeyword2"},
             kSeparator,
             {"All Results", &MainWindow::clearAll, "ClearAll2"},
         }},
        {"Build", "Build keywords", &MainWindow::openKeywordBuilder, "RzToolbarButton4", {}},
        {"Run",
         "Run analysis",
         &MainWindow::checkCurrentFile,
         "SpeedButton5",
         {
             {"Check Current File", &MainWindow::checkCurrentFile, "RunCheckCurrentFile1"},
             {"Batch Check (All Files) ...", &MainWindow::batchCheckAllFiles,
              "RunBatchCheckAllFiles1"},
             {"Batch Check (Select Folder) ...", &MainWindow::batchCheckSelectedFolders,
              "RunBatchCheckSelectFolder1"},
             kSeparator,
             {"Body Check Tester ...", &MainWindow::showBodyCheckTester, "RunBodyCheckTester1"},
         }},
        {"Rules", "Quillmark RuleBase", &MainWindow::editRuleBase, "SpeedButton2", {}},
        {"Close", "Close", &MainWindow::exitProgram, "RzToolbarButton11", {}},
    };
    m_toolBar = addToolBar(QStringLiteral("ToolBar1"));
    m_toolBar->setObjectName(QStringLiteral("ToolBar1"));
    m_toolBar->setMovable(false);
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    for (const Button& b : buttons) {
        if (!b.handler)
            continue;
        auto* button = new ToolbarButton(m_toolBar);
        button->setObjectName(QString::fromLatin1(b.name));
        button->setText(QString::fromUtf8(b.caption));
        button->setToolTip(QString::fromUtf8(b.hint));
        button->setFocusPolicy(Qt::NoFocus);
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setAutoRaise(true);
        button->setIconSize(QSize(kPictureSize, kPictureSize));
        const Handler h = b.handler;
        connect(button, &QToolButton::clicked, this, [this, h] { runCommand(h); });
        if (b.dropDown.size() > 0) {
            auto* menu = new QMenu(button);
            fill(this, menu, b.dropDown);
            if (!menu->actions().isEmpty()) {
                button->setMenu(menu);
                button->setPopupMode(QToolButton::MenuButtonPopup);
            }
        }
        m_toolBar->addWidget(button);
    }
    platform::keepToolbarWhole(m_toolBar);
    showToolbarPictures();
    routePaneShortcuts();
}

void MainWindow::showToolbarPictures() {
    for (const auto& [object, name] : kPictures)
        if (auto* button = m_toolBar->findChild<QToolButton*>(QLatin1String(object)))
            button->setIcon(toolbarPicture(QLatin1String(name), palette()));
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // The pictures follow the palette, so that they stay legible on a dark one.
    if (event->type() == QEvent::PaletteChange && m_toolBar)
        showToolbarPictures();
}

} // namespace quillmark
