#pragma once

#include <QDialog>

class QLabel;

namespace platform {
class Dialogs;
}

namespace quillmark {

// The About box: shown without being modal by "About ...".
class AboutBox : public QDialog {
    Q_OBJECT
public:
    static const QString kCaption;
    static const QString kRelease;
    static const QString kCredits;

    AboutBox(platform::Dialogs& dialogs, const QString& dataFolder, QWidget* parent = nullptr);

    QLabel* ProgramIcon;
    QLabel* Company;
    QLabel* ProductName;
    QLabel* Version;
    QLabel* Release;
    QLabel* Comments;

    void ReleaseClick();
    void CreditsClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    platform::Dialogs& m_dialogs;
};

} // namespace quillmark
