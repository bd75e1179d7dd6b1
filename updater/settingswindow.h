#pragma once

#include "services.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace tidewell {

// The updater's settings: the proxy (pxa, pxu and pxp of the updater key, stored as typed) and
// "signedonly" ("1" when only signed version files are accepted).
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

    QLineEdit* serverEdit = nullptr; // proxy server address
    QLineEdit* userEdit = nullptr;
    QLineEdit* passwordEdit = nullptr;
    QCheckBox* signedOnlyBox = nullptr;
    QPushButton* helpButton = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;

private:
    const Services& m_services;
};

} // namespace tidewell
