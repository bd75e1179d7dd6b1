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
class Tpset : public QDialog {
    Q_OBJECT
public:
    Tpset(platform::Dialogs& dialogs, platform::Help& help, QString helpFile, QString registryPath,
          QString settingsKey, QWidget* parent = nullptr);

    void FormCreate();
    void getdefaults();
    // Raises platform::Error when the settings cannot be written.
    void setdefaults();
    void SpeedButton1Click(); // Save
    void SpeedButton2Click(); // Close
    void SpeedButton3Click(); // Help

    QGroupBox* GroupBox1;
    QLineEdit* Edit1; // server
    QLineEdit* Edit2; // user name
    QLineEdit* Edit3; // password
    QPushButton* SpeedButton1;
    QPushButton* SpeedButton2;
    QPushButton* SpeedButton3;

private:
    void buildWindow();

    platform::Dialogs& m_dialogs;
    platform::Help& m_help;
    QString m_helpFile;
    QString m_registryPath;
    QString m_key;
};

} // namespace quillmark
