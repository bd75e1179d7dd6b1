#pragma once

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

// True when the file holds an anchor for the topic (0 always exists in a readable file).
bool helpTopicExists(const QString& helpFile, int topic);

class HelpViewer;

// A help viewer window; a missing file or topic gives a message instead of an empty window.
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
