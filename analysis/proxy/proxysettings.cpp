#include "proxysettings.h"

#include "passwordwindow.h"

#include "platform/ascii.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/help.h"
#include "platform/registrystore.h"
#include "platform/windowsize.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillmark {

namespace {

const QString kCaption = QStringLiteral("Quillmark - Proxy Settings");
const QString kUpdated = QStringLiteral("Proxy Settings Updated");
const QString kNotUpdated = QStringLiteral("Unable to Update Proxy Settings.");
const QString kProxy = QStringLiteral("proxy");
const QString kUser = QStringLiteral("puser");
const QString kPassword = QStringLiteral("puserp");
const int kHelpTopic = 6;

} // namespace

ProxySettingsDialog::ProxySettingsDialog(platform::Dialogs& dialogs, platform::Help& help,
                                         QString helpFile, QString registryPath,
                                         QString settingsKey, QWidget* parent)
    : QDialog(parent), m_dialogs(dialogs), m_help(help), m_helpFile(std::move(helpFile)),
      m_registryPath(std::move(registryPath)), m_key(std::move(settingsKey)) {
    setObjectName(QStringLiteral("pset"));
    setWindowTitle(kCaption);
    buildWindow();
    initialize();
}

void ProxySettingsDialog::buildWindow() {
    proxyBox = new QGroupBox(QStringLiteral("Proxy Server"), this);
    proxyBox->setObjectName(QStringLiteral("GroupBox1"));
    auto edit = [this](const char* name) {
        auto* e = new QLineEdit(proxyBox);
        e->setObjectName(QString::fromLatin1(name));
        return e;
    };
    serverEdit = edit("Edit1");
    userEdit = edit("Edit2");
    passwordEdit = edit("Edit3");
    passwordEdit->setEchoMode(QLineEdit::Password);
    // The password shows as '*' characters, whatever the style's own mask.
    passwordEdit->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    auto* form = new QFormLayout(proxyBox);
    auto row = [&](const QString& caption, QLineEdit* field) {
        auto* label = new QLabel(caption, proxyBox);
        label->setBuddy(field);
        form->addRow(label, field);
    };
    row(QStringLiteral("Ser&ver"), serverEdit);
    row(QStringLiteral("&User Name"), userEdit);
    row(QStringLiteral("&Password"), passwordEdit);

    auto button = [this](const char* name, const QString& caption, const QString& tip) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(tip);
        // Enter in a field does not save or close.
        b->setAutoDefault(false);
        return b;
    };
    helpButton =
        button("SpeedButton3", QStringLiteral("&Help"), QStringLiteral("Help with proxy settings"));
    saveButton =
        button("SpeedButton1", QStringLiteral("&Save"), QStringLiteral("Save Proxy Settings"));
    closeButton = button("SpeedButton2", QStringLiteral("&Close"),
                         QStringLiteral("Close the proxy settings"));
    auto* bar = new QHBoxLayout;
    bar->addWidget(helpButton);
    bar->addStretch(1);
    bar->addWidget(saveButton);
    bar->addWidget(closeButton);
    auto* main = new QVBoxLayout(this);
    main->addWidget(proxyBox);
    main->addStretch(1);
    main->addLayout(bar);
    platform::startSize(this, QSize(482, 172));

    auto guarded = [this](void (ProxySettingsDialog::*handler)()) {
        return [this, handler] { platform::runGuarded(m_dialogs, [&] { (this->*handler)(); }); };
    };
    connect(saveButton, &QPushButton::clicked, this, guarded(&ProxySettingsDialog::save));
    connect(closeButton, &QPushButton::clicked, this, guarded(&ProxySettingsDialog::closeDialog));
    connect(helpButton, &QPushButton::clicked, this, guarded(&ProxySettingsDialog::showHelp));
}

void ProxySettingsDialog::initialize() {
    loadSettings();
}

void ProxySettingsDialog::loadSettings() {
    platform::RegistryStore reg(m_registryPath);
    // Opened for writing, never created: without it the fields stay empty.
    if (!reg.openKey(m_key, false))
        return;
    if (reg.valueExists(kProxy))
        serverEdit->setText(reg.readString(kProxy));
    if (reg.valueExists(kUser))
        userEdit->setText(reg.readString(kUser));
    const QString stored =
        reg.valueExists(kPassword) ? platform::trimControl(reg.readString(kPassword)) : QString();
    passwordEdit->setText(proxy::DecodePWD(stored));
}

void ProxySettingsDialog::saveSettings() {
    platform::RegistryStore reg(m_registryPath);
    if (!reg.openKey(m_key, false))
        throw platform::Error(reg.lastError());
    auto put = [&](const QString& name, const QString& value) {
        if (!reg.writeString(name, value))
            throw platform::Error(reg.lastError());
    };
    // Created when missing: nothing else ever creates them, so a save would otherwise keep no
    // server and no user name.
    put(kProxy, platform::trimControl(serverEdit->text()));
    put(kUser, platform::trimControl(userEdit->text()));
    put(kPassword, proxy::EncodePWD(platform::trimControl(passwordEdit->text())));
}

void ProxySettingsDialog::save() {
    try {
        saveSettings();
    } catch (const std::exception&) {
        m_dialogs.error(kNotUpdated);
        return;
    }
    m_dialogs.information(kUpdated);
}

void ProxySettingsDialog::closeDialog() {
    reject();
}

void ProxySettingsDialog::showHelp() {
    m_help.showTopic(m_helpFile, kHelpTopic);
}

} // namespace quillmark
