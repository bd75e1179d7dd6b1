// The main window's menus and toolbar. Every item calls one handler; items of the same
// operation call the same handler. An entry whose handler is not there yet is left out.
#include "brindle.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

#include <initializer_list>

namespace quillmark {

namespace {

struct Item {
    const char* caption; // "-" is a separator
    TForm1::Handler handler = nullptr;
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
    TForm1::Handler handler;
    const char* name;
    std::initializer_list<Item> dropDown;
};

const Item kSeparator{"-"};

// Adds the entries to a menu, leaving out those not built yet and any separator they strand.
void fill(TForm1* form, QMenu* menu, std::initializer_list<Item> items) {
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
            QObject::connect(a, &QAction::triggered, form, [form, topic] { form->showHelpTopic(topic); });
        } else {
            const TForm1::Handler h = it.handler;
            QObject::connect(a, &QAction::triggered, form, [form, h] { form->runCommand(h); });
        }
    }
}

} // namespace

void TForm1::buildCommands() {
    const std::initializer_list<Menu> menus = {
        {"&File", "File1", {
            {"&Check Current File", nullptr, "CheckCurrentFile1", "Ctrl+O"},
            {"&Batch Check (All Files) ...", nullptr, "BatchCheckAllFiles1"},
            {"Ba&tch Check (Select Folder) ...", nullptr, "BatchCheckSelectFolder1"},
            kSeparator,
            {"Send Results to &Mail Recipient ...", nullptr, "SendResults1"},
            {"&Failed URLs to Mail Recipient ...", nullptr, "FailedURLs1"},
            {"Passed &URLs to Mail Recipient ...", nullptr, "PassedURLs1"},
            {"&Open Results File ...", nullptr, "OpenResultsFile1"},
            {"Sa&ve Current Results ...", nullptr, "SaveCurrentResults1"},
            kSeparator,
            {"&Print", nullptr, "Print1", "Ctrl+P"},
            {"Print F&ailed Report", nullptr, "PrintFailedReport1"},
            {"P&rint Passed Report", nullptr, "PrintPassedReport1"},
            {"Print &Keyword Density Results", nullptr, "PrintKeywordDensityResults1"},
            {"Printer &Setup ...", nullptr, "PrinterSetup1"},
            kSeparator,
            {"E&xit", &TForm1::Exit1Click, "Exit1"},
        }},
        {"&Edit", "Edit1", {
            {"&Rule Base ...", &TForm1::SpeedButton2Click, "RuleBase1"},
            kSeparator,
            {"Cu&t", nullptr, "Cut1", "Ctrl+X"},
            {"&Copy", nullptr, "Copy1", "Ctrl+C"},
            {"&Paste", nullptr, "Paste1", "Ctrl+V"},
            kSeparator,
            {"Copy &Files that Passed", nullptr, "CopyFilesthatPassed1"},
            {"C&opy Files that Failed", nullptr, "CopyFilesthatFailed1"},
            {"Copy &Keyword Density Results", nullptr, "CopyKeywordDensityResults1"},
            {"Copy &All Results", nullptr, "CopyAllResults1"},
            kSeparator,
            {"Pro&xy Settings ...", nullptr, "ProxySettings1"},
        }},
        {"&Clear", "Clear1", {
            {"Files That &Passed", nullptr, "ClearPassed1"},
            {"Files That &Failed", nullptr, "ClearFailed1"},
            {"&Keyword Density Results", nullptr, "ClearKeyword1"},
            kSeparator,
            {"&All Results", nullptr, "ClearAll1"},
        }},
        {"&Special", "Special1", {
            {"&Generate Keywords ...", &TForm1::RzToolbarButton4Click, "GenerateKeywords1"},
            {"&Body Check Tester ...", &TForm1::Showbodycheckcharacters1Click, "Showbodycheckcharacters1"},
            kSeparator,
            {"&Open Current Results in Browser", nullptr, "OpenCurrentResultsinBrowser1"},
        }},
        {"&Web", "Web1", {
            {"&Open Web Folder ...", &TForm1::OpenWebFolder1Click, "OpenWebFolder1"},
            {"Open &Page ...", &TForm1::OpenPage1Click, "OpenPage1"},
        }},
        {"&Help", "Help1", {
            {"&Contents", nullptr, "Contents1", "Ctrl+F1", 0},
            {"&Overview", nullptr, "Overview1", nullptr, 8},
            {"Checking the Current &File", nullptr, "CheckingtheCurrentFile1", nullptr, 112},
            {"&Batch Check", nullptr, "BatchCheck1", nullptr, 119},
            {"&Understanding the checks", nullptr, "Understandingthechecks1", nullptr, 120},
            {"The &Keyword Density / Spam Check Pane", nullptr, "KeywordDensityPane1", nullptr, 113},
            kSeparator,
            {"&Mailing the results", nullptr, "Mailingtheresults1", nullptr, 16},
            {"&Setting Up Values in the Rule Base", nullptr, "SettingUpValues1", nullptr, 3},
            {"Getting Started &Q&&A", nullptr, "GettingStarted1", nullptr, 5},
            kSeparator,
            {"&About ...", &TForm1::About1Click, "About1", "F1"},
        }},
    };
    for (const Menu& m : menus) {
        if (!m_services.localWeb && QLatin1String(m.name) == QLatin1String("Web1"))
            continue;
        QMenu* menu = menuBar()->addMenu(QString::fromUtf8(m.caption));
        menu->setObjectName(QString::fromLatin1(m.name));
        fill(this, menu, m.items);
    }

    const std::initializer_list<Button> buttons = {
        {"Open", "Open results", nullptr, "RzToolbarButton1", {}},
        {"Save", "Save results", nullptr, "RzToolbarButton2", {}},
        {"Send ", "Send results to a mail recipient", nullptr, "RzToolbarButton3", {}},
        {"Print", "Print results", nullptr, "RzToolbarButton5", {}},
        {"Settings", "Quillmark settings", nullptr, "RzToolbarButton6", {}},
        {"Cut", "Cut", nullptr, "RzToolbarButton7", {}},
        {"Copy", "Copy", nullptr, "RzToolbarButton8", {}},
        {"Paste", "Paste", nullptr, "RzToolbarButton9", {}},
        {"Clear", "Clear results", nullptr, "RzToolbarButton10", {}},
        {"Build", "Build keywords", &TForm1::RzToolbarButton4Click, "RzToolbarButton4", {}},
        {"Run", "Run analysis", nullptr, "SpeedButton5", {
            kSeparator,
            {"Body Check Tester ...", &TForm1::Showbodycheckcharacters1Click, "BodyCheckTester2"},
        }},
        {"Rules", "Quillmark RuleBase", &TForm1::SpeedButton2Click, "SpeedButton2", {}},
        {"Close", "Close", &TForm1::Exit1Click, "RzToolbarButton11", {}},
    };
    ToolBar1 = addToolBar(QStringLiteral("ToolBar1"));
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    for (const Button& b : buttons) {
        if (!b.handler)
            continue;
        auto* button = new QToolButton(ToolBar1);
        button->setObjectName(QString::fromLatin1(b.name));
        button->setText(QString::fromUtf8(b.caption));
        button->setToolTip(QString::fromUtf8(b.hint));
        button->setFocusPolicy(Qt::NoFocus);
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
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
        ToolBar1->addWidget(button);
    }
}

} // namespace quillmark
