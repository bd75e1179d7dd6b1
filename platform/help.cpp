#include "help.h"

#include "dialogs.h"
#include "textfile.h"

#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidget>

namespace platform {

class HelpViewer : public QWidget {
public:
    HelpViewer() {
        setObjectName(QStringLiteral("HelpViewer"));
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        browser = new QTextBrowser(this);
        browser->setObjectName(QStringLiteral("helpBrowser"));
        browser->setOpenExternalLinks(false);
        layout->addWidget(browser);
        resize(640, 520);
    }
    QTextBrowser* browser;
};

bool helpTopicExists(const QString& helpFile, int topic) {
    QString text;
    try {
        text = readTextFile(helpFile).text;
    } catch (const std::exception&) {
        return false;
    }
    if (topic == 0)
        return true;
    return text.contains(QStringLiteral("name=\"%1\"").arg(topic));
}

QtHelp::QtHelp(Dialogs& dialogs, QString windowTitle)
    : m_dialogs(dialogs), m_title(std::move(windowTitle)) {}

QtHelp::~QtHelp() = default;

QWidget* QtHelp::window() const {
    return m_viewer.get();
}

void QtHelp::showTopic(const QString& helpFile, int topic) {
    if (helpFile.isEmpty() || !QFileInfo(helpFile).isFile()) {
        m_dialogs.error(QStringLiteral("The help file %1 cannot be found.").arg(helpFile));
        return;
    }
    if (!helpTopicExists(helpFile, topic)) {
        m_dialogs.error(QStringLiteral("Help topic %1 is not in the help file %2.").arg(topic).arg(helpFile));
        return;
    }
    if (!m_viewer)
        m_viewer = std::make_unique<HelpViewer>();
    m_viewer->setWindowTitle(m_title);
    m_viewer->browser->setSource(QUrl::fromLocalFile(helpFile), QTextDocument::HtmlResource);
    if (topic == 0)
        m_viewer->browser->scrollToAnchor(QStringLiteral("0"));
    else
        m_viewer->browser->scrollToAnchor(QString::number(topic));
    m_viewer->show();
    m_viewer->raise();
    m_viewer->activateWindow();
}

} // namespace platform
