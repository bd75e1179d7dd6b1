#pragma once

#include "services.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace tidewell {

// The updater's settings, stored as typed in the updater key: the proxy (pxa, pxu, pxp), whether
// the connection must be encrypted (tlsreq "1" or "0"), the CA file the server's certificate is
// checked against (cafile; empty: the system's store) and whether only signed version files are
// accepted (signedonly "1" or "0").
class SettingsWindow : public QDialog {
    Q_OBJECT
public:
    static const QString kCaption;

    explicit SettingsWindow(const Services& services, QWidget* parent = nullptr);

    // Fills the fields from the updater key.
    void loadSettings();
    void saveSettings(); // "&Ok": stores the fields and closes
    void cancel();       // "&Cancel"
    void showHelp();     // "&Help"
    void browseCaFile(); // "&Browse..."

    QLineEdit* serverEdit = nullptr; // proxy server address
    QLineEdit* userEdit = nullptr;
    QLineEdit* passwordEdit = nullptr;
    QCheckBox* requireTlsCheck = nullptr;
    QLineEdit* caFileEdit = nullptr;
    QPushButton* browseButton = nullptr;
    QCheckBox* signedOnlyBox = nullptr;
    QPushButton* helpButton = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;

private:
    const Services& m_services;
};

} // namespace tidewell
