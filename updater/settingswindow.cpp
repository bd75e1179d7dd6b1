#include "settingswindow.h"

#include "mainwindow.h"

#include "platform/dialogs.h"
#include "platform/filedialogs.h"
#include "platform/help.h"
#include "platform/registrystore.h"
#include "platform/windowsize.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tidewell {

const QString SettingsWindow::kCaption = QStringLiteral("Tidewell - Settings");

SettingsWindow::SettingsWindow(const Services& services, QWidget* parent)
    : QDialog(parent), m_services(services) {
    setObjectName(QStringLiteral("SettingsWindow"));
    setWindowTitle(kCaption);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    auto* outer = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    auto* server = new QLabel(QStringLiteral("Proxy &Server\nAddress"), this);
    auto* user = new QLabel(QStringLiteral("&User Name"), this);
    auto* password = new QLabel(QStringLiteral("&Password"), this);
    serverEdit = new QLineEdit(this);
    serverEdit->setObjectName(QStringLiteral("serverEdit"));
    userEdit = new QLineEdit(this);
    userEdit->setObjectName(QStringLiteral("userEdit"));
    passwordEdit = new QLineEdit(this);
    passwordEdit->setObjectName(QStringLiteral("passwordEdit"));
    passwordEdit->setEchoMode(QLineEdit::Password);
    server->setBuddy(serverEdit);
    user->setBuddy(userEdit);
    password->setBuddy(passwordEdit);
    grid->addWidget(server, 0, 0);
    grid->addWidget(serverEdit, 0, 1);
    grid->addWidget(user, 1, 0);
    grid->addWidget(userEdit, 1, 1);
    grid->addWidget(password, 2, 0);
    grid->addWidget(passwordEdit, 2, 1);
    requireTlsCheck = new QCheckBox(QStringLiteral("Require an encrypted connection"), this);
    requireTlsCheck->setObjectName(QStringLiteral("requireTlsCheck"));
    grid->addWidget(requireTlsCheck, 3, 0, 1, 2);
    auto* caFile = new QLabel(QStringLiteral("C&A File"), this);
    caFileEdit = new QLineEdit(this);
    caFileEdit->setObjectName(QStringLiteral("caFileEdit"));
    caFileEdit->setPlaceholderText(QStringLiteral("System certificates"));
    caFile->setBuddy(caFileEdit);
    browseButton = new QPushButton(QStringLiteral("&Browse..."), this);
    browseButton->setObjectName(QStringLiteral("browseButton"));
    browseButton->setAutoDefault(false);
    auto* caRow = new QHBoxLayout;
    caRow->addWidget(caFileEdit);
    caRow->addWidget(browseButton);
    grid->addWidget(caFile, 4, 0);
    grid->addLayout(caRow, 4, 1);
    outer->addLayout(grid);
    signedOnlyBox = new QCheckBox(QStringLiteral("Accept only signed updates"), this);
    signedOnlyBox->setObjectName(QStringLiteral("signedOnlyBox"));
    outer->addWidget(signedOnlyBox);
    outer->addStretch();

    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::StyledPanel);
    auto* buttons = new QHBoxLayout(panel);
    buttons->setContentsMargins(4, 4, 4, 4);
    helpButton = new QPushButton(QStringLiteral("&Help"), panel);
    helpButton->setObjectName(QStringLiteral("helpButton"));
    helpButton->setToolTip(QStringLiteral("Help with settings"));
    helpButton->setAutoDefault(false);
    okButton = new QPushButton(QStringLiteral("&Ok"), panel);
    okButton->setObjectName(QStringLiteral("okButton"));
    okButton->setToolTip(QStringLiteral("Accept changes and close"));
    okButton->setDefault(true);
    cancelButton = new QPushButton(QStringLiteral("&Cancel"), panel);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    cancelButton->setToolTip(QStringLiteral("Cancel without saving changes"));
    cancelButton->setAutoDefault(false);
    buttons->addWidget(helpButton);
    buttons->addStretch();
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    outer->addWidget(panel);

    auto guarded = [this](void (SettingsWindow::*h)()) {
        return [this, h] { platform::runGuarded(*m_services.dialogs, [&] { (this->*h)(); }); };
    };
    connect(helpButton, &QPushButton::clicked, this, guarded(&SettingsWindow::showHelp));
    connect(okButton, &QPushButton::clicked, this, guarded(&SettingsWindow::saveSettings));
    connect(cancelButton, &QPushButton::clicked, this, guarded(&SettingsWindow::cancel));
    connect(browseButton, &QPushButton::clicked, this, guarded(&SettingsWindow::browseCaFile));
    platform::startSize(this, QSize(300, 164));
}

void SettingsWindow::loadSettings() {
    platform::RegistryStore reg(m_services.registryPath);
    if (reg.openKey(MainWindow::kUpdaterKey, true)) {
        serverEdit->setText(reg.readString(QStringLiteral("pxa")));
        userEdit->setText(reg.readString(QStringLiteral("pxu")));
        passwordEdit->setText(reg.readString(QStringLiteral("pxp")));
        requireTlsCheck->setChecked(reg.readString(QStringLiteral("tlsreq")) == QLatin1String("1"));
        caFileEdit->setText(reg.readString(QStringLiteral("cafile")));
        signedOnlyBox->setChecked(reg.readString(QStringLiteral("signedonly")) ==
                                  QLatin1String("1"));
    }
    reg.closeKey();
}

void SettingsWindow::saveSettings() {
    platform::RegistryStore reg(m_services.registryPath);
    if (reg.openKey(MainWindow::kUpdaterKey, true)) {
        reg.writeString(QStringLiteral("pxa"), serverEdit->text());
        reg.writeString(QStringLiteral("pxu"), userEdit->text());
        reg.writeString(QStringLiteral("pxp"), passwordEdit->text());
        reg.writeString(QStringLiteral("tlsreq"),
                        requireTlsCheck->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
        reg.writeString(QStringLiteral("cafile"), caFileEdit->text());
        reg.writeString(QStringLiteral("signedonly"),
                        signedOnlyBox->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    }
    reg.closeKey();
    accept();
}

void SettingsWindow::cancel() {
    reject();
}

void SettingsWindow::browseCaFile() {
    if (!m_services.fileDialogs)
        return;
    platform::FileDialogs::Options o;
    o.title = QStringLiteral("CA File");
    o.filter = QStringLiteral("Certificates|*.pem;*.crt|All Files|*.*");
    const QFileInfo current(caFileEdit->text());
    if (!caFileEdit->text().isEmpty()) {
        o.folder = current.absolutePath();
        o.fileName = current.fileName();
    }
    const QString chosen = m_services.fileDialogs->openFileName(o);
    if (!chosen.isEmpty())
        caFileEdit->setText(chosen);
}

void SettingsWindow::showHelp() {
    m_services.help->showTopic(m_services.folders.data + QStringLiteral("tidewell.hlp"), 2);
}

} // namespace tidewell
