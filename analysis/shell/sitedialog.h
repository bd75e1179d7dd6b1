#pragma once

#include <QDialog>
#include <QStringList>

class QComboBox;

namespace platform {
class Dialogs;
class Help;
} // namespace platform

namespace quillmark {

// "Open Site": the address of the site to open, typed or one of those used last. OK with an
// address that cannot be a site's says why and keeps the dialog open.
class SiteDialog : public QDialog {
    Q_OBJECT
public:
    static const int kHelpTopic = 130;

    SiteDialog(platform::Dialogs& dialogs, platform::Help& help, QString helpFile,
               const QStringList& recent, const QString& current, QWidget* parent = nullptr);

    // The address as accepted, without surrounding blanks.
    QString address() const;
    QComboBox* addressBox() const { return m_address; }

    void accept() override;

private:
    platform::Dialogs& m_dialogs;
    platform::Help& m_help;
    QString m_helpFile;
    QComboBox* m_address;
};

} // namespace quillmark
