#include "proxy.h"

#include "mainupdate.h"

#include "platform/dialogs.h"
#include "platform/help.h"
#include "platform/registrystore.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tidewell {

const QString TSettings::kCaption = QStringLiteral("Tidewell - Settings");

TSettings::TSettings(const Services& services, QWidget* parent)
    : QDialog(parent), m_services(services) {
    setObjectName(QStringLiteral("Settings"));
    setWindowTitle(kCaption);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    auto* outer = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    auto* server = new QLabel(QStringLiteral("Proxy &Server\nAddress"), this);
    auto* user = new QLabel(QStringLiteral("&User Name"), this);
    auto* password = new QLabel(QStringLiteral("&Password"), this);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit2 = new QLineEdit(this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit3 = new QLineEdit(this);
    Edit3->setObjectName(QStringLiteral("Edit3"));
    Edit3->setEchoMode(QLineEdit::Password);
    server->setBuddy(Edit1);
    user->setBuddy(Edit2);
    password->setBuddy(Edit3);
    grid->addWidget(server, 0, 0);
    grid->addWidget(Edit1, 0, 1);
    grid->addWidget(user, 1, 0);
    grid->addWidget(Edit2, 1, 1);
    grid->addWidget(password, 2, 0);
    grid->addWidget(Edit3, 2, 1);
    outer->addLayout(grid);
    outer->addStretch();

    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::StyledPanel);
    auto* buttons = new QHBoxLayout(panel);
    buttons->setContentsMargins(4, 4, 4, 4);
    BtnHelp = new QPushButton(QStringLiteral("&Help"), panel);
    BtnHelp->setObjectName(QStringLiteral("BtnHelp"));
    BtnHelp->setToolTip(QStringLiteral("Help with settings"));
    BtnHelp->setAutoDefault(false);
    BtnAccept = new QPushButton(QStringLiteral("&Ok"), panel);
    BtnAccept->setObjectName(QStringLiteral("BtnAccept"));
    BtnAccept->setToolTip(QStringLiteral("Accept changes and close"));
    BtnAccept->setDefault(true);
    BtnStop = new QPushButton(QStringLiteral("&Cancel"), panel);
    BtnStop->setObjectName(QStringLiteral("BtnStop"));
    BtnStop->setToolTip(QStringLiteral("Cancel without saving changes"));
    BtnStop->setAutoDefault(false);
    buttons->addWidget(BtnHelp);
    buttons->addStretch();
    buttons->addWidget(BtnAccept);
    buttons->addWidget(BtnStop);
    outer->addWidget(panel);

    auto guarded = [this](void (TSettings::*h)()) {
        return [this, h] { platform::runGuarded(*m_services.dialogs, [&] { (this->*h)(); }); };
    };
    connect(BtnHelp, &QPushButton::clicked, this, guarded(&TSettings::BtnHelpClick));
    connect(BtnAccept, &QPushButton::clicked, this, guarded(&TSettings::BtnAcceptClick));
    connect(BtnStop, &QPushButton::clicked, this, guarded(&TSettings::BtnStopClick));
    setFixedSize(300, 164);
}

void TSettings::FormCreate() {
    platform::RegistryStore reg(m_services.registryPath);
    if (reg.openKey(TForm1::kUpdaterKey, true)) {
        Edit1->setText(reg.readString(QStringLiteral("pxa")));
        Edit2->setText(reg.readString(QStringLiteral("pxu")));
        Edit3->setText(reg.readString(QStringLiteral("pxp")));
    }
    reg.closeKey();
}

void TSettings::BtnAcceptClick() {
    platform::RegistryStore reg(m_services.registryPath);
    if (reg.openKey(TForm1::kUpdaterKey, true)) {
        reg.writeString(QStringLiteral("pxa"), Edit1->text());
        reg.writeString(QStringLiteral("pxu"), Edit2->text());
        reg.writeString(QStringLiteral("pxp"), Edit3->text());
    }
    reg.closeKey();
    accept();
}

void TSettings::BtnStopClick() {
    reject();
}

void TSettings::BtnHelpClick() {
    m_services.help->showTopic(m_services.programFolder + QStringLiteral("tidewell.hlp"), 2);
}

} // namespace tidewell
