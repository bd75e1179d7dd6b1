// The main window's menus and toolbar. Every item calls one handler; items of the same
// operation call the same handler. An entry whose handler is not there yet is left out.
#include "brindle.h"

#include <QAction>
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

// The toolbar's pictures, by button: a normal one and a highlighted one for the pointer.
const std::pair<const char*, const char*> kPictures[] = {
    {"RzToolbarButton1", "open"},   {"RzToolbarButton2", "save"},   {"RzToolbarButton3", "send"},
    {"RzToolbarButton5", "print"},  {"RzToolbarButton6", "settings"}, {"RzToolbarButton7", "cut"},
    {"RzToolbarButton8", "copy"},   {"RzToolbarButton9", "paste"},  {"RzToolbarButton10", "clear"},
    {"RzToolbarButton4", "build"},  {"SpeedButton5", "run"},        {"SpeedButton2", "rules"},
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

QIcon picture(const char* name) {
    QIcon icon;
    icon.addFile(QStringLiteral(":/toolbar/%1.png").arg(QLatin1String(name)), QSize(), QIcon::Normal);
    icon.addFile(QStringLiteral(":/toolbar/%1-hot.png").arg(QLatin1String(name)), QSize(), QIcon::Active);
    return icon;
}

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
    initToolbarPictures();
    const std::initializer_list<Menu> menus = {
        {"&File", "File1", {
            {"&Check Current File", &TForm1::SpeedButton5Click, "CheckCurrentFile1", "Ctrl+O"},
            {"&Batch Check (All Files) ...", &TForm1::BatchCheckAllFiles1Click, "BatchCheckAllFiles1"},
            {"Ba&tch Check (Select Folder) ...", &TForm1::BatchCheckSelectFolder1Click, "BatchCheckSelectFolder1"},
            kSeparator,
            {"Send Results to &Mail Recipient ...", &TForm1::SendResults1Click, "SendResults1"},
            {"&Failed URLs to Mail Recipient ...", &TForm1::FailedURLs1Click, "FailedURLs1"},
            {"Passed &URLs to Mail Recipient ...", &TForm1::PassedURLs1Click, "PassedURLs1"},
            {"&Open Results File ...", &TForm1::OpenResultsFile1Click, "OpenResultsFile1"},
            {"Sa&ve Current Results ...", &TForm1::SaveCurrentResults1Click, "SaveCurrentResults1"},
            kSeparator,
            {"&Print", &TForm1::Print1Click, "Print1", "Ctrl+P"},
            {"Print F&ailed Report", &TForm1::PrintFailedReport1Click, "PrintFailedReport1"},
            {"P&rint Passed Report", &TForm1::PrintPassedReport1Click, "PrintPassedReport1"},
            {"Print &Keyword Density Results", &TForm1::PrintKeywordDensityResults1Click, "PrintKeywordDensityResults1"},
            {"Printer &Setup ...", &TForm1::PrinterSetup1Click, "PrinterSetup1"},
            kSeparator,
            {"E&xit", &TForm1::Exit1Click, "Exit1"},
        }},
        {"&Edit", "Edit1", {
            {"&Rule Base ...", &TForm1::SpeedButton2Click, "RuleBase1"},
            kSeparator,
            {"Cu&t", &TForm1::Cut1Click, "Cut1", "Ctrl+X"},
            {"&Copy", &TForm1::Copy1Click, "Copy1", "Ctrl+C"},
            {"&Paste", &TForm1::Paste1Click, "Paste1", "Ctrl+V"},
            kSeparator,
            {"Copy &Files that Passed", &TForm1::CopyFilesthatPassed1Click, "CopyFilesthatPassed1"},
            {"C&opy Files that Failed", &TForm1::CopyFilesthatFailed1Click, "CopyFilesthatFailed1"},
            {"Copy &Keyword Density Results", &TForm1::CopyKeywordDensityResults1Click, "CopyKeywordDensityResults1"},
            {"Copy &All Results", &TForm1::CopyAllResults1Click, "CopyAllResults1"},
            kSeparator,
            {"Pro&xy Settings ...", &TForm1::ProxySettings1Click, "ProxySettings1"},
        }},
        {"&Clear", "Clear1", {
            {"Files That &Passed", &TForm1::ClearPassed1Click, "ClearPassed1"},
            {"Files That &Failed", &TForm1::ClearFailed1Click, "ClearFailed1"},
            {"&Keyword Density Results", &TForm1::ClearKeyword1Click, "ClearKeyword1"},
            kSeparator,
            {"&All Results", &TForm1::ClearAll1Click, "ClearAll1"},
        }},
        {"&Special", "Special1", {
            {"&Generate Keywords ...", &TForm1::RzToolbarButton4Click, "GenerateKeywords1"},
            {"&Body Check Tester ...", &TForm1::Showbodycheckcharacters1Click, "Showbodycheckcharacters1"},
            kSeparator,
            {"&Open Current Results in Browser", &TForm1::OpenCurrentResultsinBrowser1Click, "OpenCurrentResultsinBrowser1"},
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
        {"Open", "Open results", &TForm1::OpenResultsFile1Click, "RzToolbarButton1", {}},
        {"Save", "Save results", &TForm1::SaveCurrentResults1Click, "RzToolbarButton2", {}},
        {"Send ", "Send results to a mail recipient", &TForm1::SendResults1Click, "RzToolbarButton3", {
            {"Files That Passed", &TForm1::PassedURLs1Click, "SendPassed1"},
            {"Files That Failed", &TForm1::FailedURLs1Click, "SendFailed1"},
            {"Keyword Density Results", &TForm1::SendKeywordResults1Click, "SendKeyword1"},
            kSeparator,
            {"All Results", &TForm1::SendResults1Click, "SendAll1"},
        }},
        {"Print", "Print results", &TForm1::PrinterSetup1Click, "RzToolbarButton5", {
            {"Files That Passed", &TForm1::PrintPassedReport1Click, "PrintPassed1"},
            {"Files That Failed", &TForm1::PrintFailedReport1Click, "PrintFailed1"},
            {"Keyword Density Results", &TForm1::PrintKeywordDensityResults1Click, "PrintKeyword1"},
            kSeparator,
            {"All Results", &TForm1::Print1Click, "PrintAll1"},
        }},
        {"Settings", "Quillmark settings", &TForm1::ProxySettings1Click, "RzToolbarButton6", {}},
        {"Cut", "Cut", &TForm1::Cut1Click, "RzToolbarButton7", {}},
        {"Copy", "Copy", &TForm1::Copy1Click, "RzToolbarButton8", {
            {"Files that Passed", &TForm1::CopyFilesthatPassed1Click, "CopyPassed1"},
            {"Files that Failed", &TForm1::CopyFilesthatFailed1Click, "CopyFailed1"},
            {"Keyword Density Results", &TForm1::CopyKeywordDensityResults1Click, "CopyKeyword1"},
            kSeparator,
            {"All Results", &TForm1::CopyAllResults1Click, "CopyAll1"},
        }},
        {"Paste", "Paste", &TForm1::Paste1Click, "RzToolbarButton9", {}},
        {"Clear", "Clear results", &TForm1::ClearAll1Click, "RzToolbarButton10", {
            {"Files that Passed", &TForm1::ClearPassed1Click, "ClearPassed2"},
            {"Files that Failed", &TForm1::ClearFailed1Click, "ClearFailed2"},
            {"Keyword Density Results", &TForm1::ClearKeyword1Click, "ClearKeyword2"},
            kSeparator,
            {"All Results", &TForm1::ClearAll1Click, "ClearAll2"},
        }},
        {"Build", "Build keywords", &TForm1::RzToolbarButton4Click, "RzToolbarButton4", {}},
        {"Run", "Run analysis", &TForm1::SpeedButton5Click, "SpeedButton5", {
            {"Check Current File", &TForm1::SpeedButton5Click, "RunCheckCurrentFile1"},
            {"Batch Check (All Files) ...", &TForm1::BatchCheckAllFiles1Click, "RunBatchCheckAllFiles1"},
            {"Batch Check (Select Folder) ...", &TForm1::BatchCheckSelectFolder1Click, "RunBatchCheckSelectFolder1"},
            kSeparator,
            {"Body Check Tester ...", &TForm1::Showbodycheckcharacters1Click, "RunBodyCheckTester1"},
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
        auto* button = new ToolbarButton(ToolBar1);
        button->setObjectName(QString::fromLatin1(b.name));
        button->setText(QString::fromUtf8(b.caption));
        button->setToolTip(QString::fromUtf8(b.hint));
        button->setFocusPolicy(Qt::NoFocus);
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setAutoRaise(true);
        button->setIconSize(QSize(kPictureSize, kPictureSize));
        for (const auto& [object, name] : kPictures)
            if (QLatin1String(object) == QLatin1String(b.name))
                button->setIcon(picture(name));
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
    routePaneShortcuts();
}

} // namespace quillmark
