#pragma once

#include <QSet>
#include <QString>

#include <memory>

class QWidget;

namespace platform {

class Dialogs;

// Help by topic number. A help file is HTML with one anchor per topic: <a name="112"></a>;
// topic 0 is the contents at the top of the file.
class Help {
public:
    virtual ~Help() = default;
    virtual void showTopic(const QString& helpFile, int topic) = 0;
};

// The topic numbers a help file holds: 0 and every numbered anchor. Throws EFOpenError when the
// file cannot be read.
QSet<int> helpTopics(const QString& helpFile);
// True when the file can be read and holds the topic.
bool helpTopicExists(const QString& helpFile, int topic);

// What the viewer says instead of showing an empty window.
inline const QString kHelpNotSet =
    QStringLiteral("Help is not available: no help file has been set up.");
inline const QString kHelpFileMissing = QStringLiteral("The help file \"%1\" cannot be found.");
inline const QString kHelpFileUnreadable = QStringLiteral("The help file \"%1\" cannot be read.");
inline const QString kHelpTopicMissing = QStringLiteral(
    "The help file \"%1\" has no topic %2. The contents of the help are shown instead.");

class HelpViewer;

// A help viewer window, one per program, reused for every topic. A topic the file does not
// hold shows the contents after saying so; a missing or unreadable file gives a message only.
class QtHelp : public Help {
public:
    QtHelp(Dialogs& dialogs, QString windowTitle);
    ~QtHelp() override;
    void showTopic(const QString& helpFile, int topic) override;
    QWidget* window() const;

private:
    Dialogs& m_dialogs;
    QString m_title;
    std::unique_ptr<HelpViewer> m_viewer;
};

} // namespace platform
