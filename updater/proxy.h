#pragma once

#include "services.h"

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace tidewell {

// The updater's proxy settings: pxa, pxu and pxp of the updater key, stored as typed.
class TSettings : public QDialog {
    Q_OBJECT
public:
    static const QString kCaption;

    explicit TSettings(const Services& services, QWidget* parent = nullptr);

    void FormCreate();
    void BtnAcceptClick(); // "&Ok"
    void BtnStopClick();   // "&Cancel"
    void BtnHelpClick();   // "&Help"

    QLineEdit* Edit1 = nullptr; // proxy server address
    QLineEdit* Edit2 = nullptr; // user name
    QLineEdit* Edit3 = nullptr; // password
    QPushButton* BtnHelp = nullptr;
    QPushButton* BtnAccept = nullptr;
    QPushButton* BtnStop = nullptr;

private:
    const Services& m_services;
};

} // namespace tidewell
