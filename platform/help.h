#pragma once

#include <QPointer>
#include <QSet>
#include <QString>

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
// The viewer does not keep the program running, takes input while a modal window is up, and
// closes with Esc or Ctrl+W.
class QtHelp : public Help {
public:
    QtHelp(Dialogs& dialogs, QString windowTitle);
    ~QtHelp() override;
    void showTopic(const QString& helpFile, int topic) override;
    QWidget* window() const;

private:
    Dialogs& m_dialogs;
    QString m_title;
    // Lent to a modal window while one is up; should that window take it along when it is
    // deleted, the next topic makes a new one.
    QPointer<HelpViewer> m_viewer;
};

} // namespace platform
