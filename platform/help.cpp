#include "help.h"

#include "dialogs.h"
#include "errors.h"
#include "textfile.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QTextBrowser>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidget>

namespace platform {

namespace {

// Pages of the help file are read the way every text file of the programs is (UTF-8 or
// Windows-1252), so the viewer shows what helpTopics reads.
class HelpBrowser : public QTextBrowser {
public:
    using QTextBrowser::QTextBrowser;

protected:
    QVariant loadResource(int type, const QUrl& name) override {
        if (type == QTextDocument::HtmlResource && name.isLocalFile()) {
            try {
                return readTextFile(name.toLocalFile()).text;
            } catch (const std::exception&) {
                return QVariant();
            }
        }
        return QTextBrowser::loadResource(type, name);
    }
};

QSet<int> topicsOf(const QString& text) {
    static const QRegularExpression anchor(
        QStringLiteral(R"(<a\s[^>]*\b(?:name|id)\s*=\s*["']?(\d+)["'\s>])"),
        QRegularExpression::CaseInsensitiveOption);
    QSet<int> topics{0};
    for (auto it = anchor.globalMatch(text); it.hasNext();)
        topics.insert(it.next().captured(1).toInt());
    return topics;
}

} // namespace

class HelpViewer : public QWidget {
public:
    HelpViewer() {
        setObjectName(QStringLiteral("HelpViewer"));
        // The program ends with its main window even while the help is open.
        setAttribute(Qt::WA_QuitOnClose, false);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        auto* bar = new QToolBar(this);
        bar->setObjectName(QStringLiteral("helpToolBar"));
        bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
        browser = new HelpBrowser(this);
        browser->setObjectName(QStringLiteral("helpBrowser"));
        browser->setOpenExternalLinks(false);
        contents = bar->addAction(QStringLiteral("&Contents"));
        contents->setObjectName(QStringLiteral("helpContents"));
        back = bar->addAction(QStringLiteral("&Back"));
        back->setObjectName(QStringLiteral("helpBack"));
        back->setShortcut(QKeySequence::Back);
        forward = bar->addAction(QStringLiteral("&Forward"));
        forward->setObjectName(QStringLiteral("helpForward"));
        forward->setShortcut(QKeySequence::Forward);
        back->setEnabled(false);
        forward->setEnabled(false);
        QObject::connect(contents, &QAction::triggered, browser, [this] { showTopic(0); });
        QObject::connect(back, &QAction::triggered, browser, &QTextBrowser::backward);
        QObject::connect(forward, &QAction::triggered, browser, &QTextBrowser::forward);
        QObject::connect(browser, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
        QObject::connect(browser, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
        auto* closing = new QAction(this);
        closing->setObjectName(QStringLiteral("helpClose"));
        closing->setShortcuts({QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)});
        addAction(closing);
        QObject::connect(closing, &QAction::triggered, this, &QWidget::close);
        layout->addWidget(bar);
        layout->addWidget(browser);
        browser->document()->setDocumentMargin(12);
        resize(640, 520);
        // Where no window manager places it, the viewer would sit in the screen's corner.
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
    }

    // The file is reloaded when it is another one; a topic is an anchor of it, the contents
    // the top of the file.
    void showTopic(int topic) {
        QUrl url = QUrl::fromLocalFile(file);
        if (topic != 0)
            url.setFragment(QString::number(topic));
        browser->setSource(url, QTextDocument::HtmlResource);
        if (topic == 0)
            browser->verticalScrollBar()->setValue(0);
    }

    // A modal window blocks every window but its own: while one is up, the viewer is a window
    // of it, and goes back to standing alone when that one goes.
    void attachTo(QWidget* host) {
        if (host == m_host)
            return;
        if (m_host)
            m_host->removeEventFilter(this);
        m_host = host;
        const bool shown = isVisible();
        const QRect place = geometry();
        setParent(host, Qt::Window);
        setGeometry(place);
        if (host)
            host->installEventFilter(this);
        if (shown)
            show();
    }

    QString file;
    QTextBrowser* browser;
    QAction* contents;
    QAction* back;
    QAction* forward;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // Not when it is minimised: that is no going away.
        if (watched == m_host && event->type() == QEvent::Hide && !event->spontaneous()) {
            QWidget* next = QApplication::activeModalWidget();
            attachTo(next && next != m_host && next->isVisible() ? next : nullptr);
        }
        return QWidget::eventFilter(watched, event);
    }

private:
    QWidget* m_host = nullptr;
};

QSet<int> helpTopics(const QString& helpFile) {
    return topicsOf(readTextFile(helpFile).text);
}

bool helpTopicExists(const QString& helpFile, int topic) {
    try {
        return helpTopics(helpFile).contains(topic);
    } catch (const std::exception&) {
        return false;
    }
}

QtHelp::QtHelp(Dialogs& dialogs, QString windowTitle)
    : m_dialogs(dialogs), m_title(std::move(windowTitle)) {}

QtHelp::~QtHelp() {
    delete m_viewer;
}

QWidget* QtHelp::window() const {
    return m_viewer;
}

void QtHelp::showTopic(const QString& helpFile, int topic) {
    if (helpFile.isEmpty()) {
        m_dialogs.error(kHelpNotSet);
        return;
    }
    const QString shown = QDir::toNativeSeparators(helpFile);
    if (!QFileInfo(helpFile).isFile()) {
        m_dialogs.error(kHelpFileMissing.arg(shown));
        return;
    }
    QSet<int> topics;
    try {
        topics = helpTopics(helpFile);
    } catch (const std::exception&) {
        m_dialogs.error(kHelpFileUnreadable.arg(shown));
        return;
    }
    if (!topics.contains(topic)) {
        m_dialogs.warning(kHelpTopicMissing.arg(shown).arg(topic));
        topic = 0;
    }
    if (!m_viewer)
        m_viewer = new HelpViewer;
    m_viewer->attachTo(QApplication::activeModalWidget());
    m_viewer->setWindowTitle(m_title);
    if (m_viewer->file != helpFile) {
        // Another file: its own history.
        m_viewer->browser->clear();
        m_viewer->browser->clearHistory();
        m_viewer->file = helpFile;
    }
    m_viewer->showTopic(topic);
    m_viewer->show();
    m_viewer->raise();
    m_viewer->activateWindow();
}

} // namespace platform
