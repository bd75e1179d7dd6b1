#pragma once

#include <QDialog>

class QGroupBox;
class QLineEdit;
class QPushButton;

namespace platform {
class Dialogs;
class Help;
} // namespace platform

namespace quillmark {

// The proxy settings dialog: created for each use, shown modally, destroyed on close. It keeps
// the server, the user name and the encoded password in the program's settings key.
class ProxySettingsDialog : public QDialog {
    Q_OBJECT
public:
    ProxySettingsDialog(platform::Dialogs& dialogs, platform::Help& help, QString helpFile,
                        QString registryPath, QString settingsKey, QWidget* parent = nullptr);

    void initialize();
    void loadSettings();
    // Raises platform::Error when the settings cannot be written.
    void saveSettings();
    void save();        // Save
    void closeDialog(); // Close
    void showHelp();    // Help

    QGroupBox* proxyBox;
    QLineEdit* serverEdit;   // server
    QLineEdit* userEdit;     // user name
    QLineEdit* passwordEdit; // password
    QPushButton* saveButton;
    QPushButton* closeButton;
    QPushButton* helpButton;

private:
    void buildWindow();

    platform::Dialogs& m_dialogs;
    platform::Help& m_help;
    QString m_helpFile;
    QString m_registryPath;
    QString m_key;
};

} // namespace quillmark
