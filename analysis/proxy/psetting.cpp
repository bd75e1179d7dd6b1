#include "psetting.h"

#include "edpwdf.h"

#include "platform/ascii.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/help.h"
#include "platform/registrystore.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
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

Tpset::Tpset(platform::Dialogs& dialogs, platform::Help& help, QString helpFile,
             QString registryPath, QString settingsKey, QWidget* parent)
    : QDialog(parent), m_dialogs(dialogs), m_help(help), m_helpFile(std::move(helpFile)),
      m_registryPath(std::move(registryPath)), m_key(std::move(settingsKey)) {
    setObjectName(QStringLiteral("pset"));
    setWindowTitle(kCaption);
    buildWindow();
    FormCreate();
}

void Tpset::buildWindow() {
    setFixedSize(482, 172);
    if (const QScreen* s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());

    GroupBox1 = new QGroupBox(QStringLiteral("Proxy Server"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto edit = [this](const char* name) {
        auto* e = new QLineEdit(GroupBox1);
        e->setObjectName(QString::fromLatin1(name));
        return e;
    };
    Edit1 = edit("Edit1");
    Edit2 = edit("Edit2");
    Edit3 = edit("Edit3");
    Edit3->setEchoMode(QLineEdit::Password);
    // The password shows as '*' characters, whatever the style's own mask.
    Edit3->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    auto* form = new QFormLayout(GroupBox1);
    auto row = [&](const QString& caption, QLineEdit* field) {
        auto* label = new QLabel(caption, GroupBox1);
        label->setBuddy(field);
        form->addRow(label, field);
    };
    row(QStringLiteral("Ser&ver"), Edit1);
    row(QStringLiteral("&User Name"), Edit2);
    row(QStringLiteral("&Password"), Edit3);

    auto button = [this](const char* name, const QString& caption, const QString& tip) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(tip);
        // Enter in a field does not save or close.
        b->setAutoDefault(false);
        return b;
    };
    SpeedButton3 =
        button("SpeedButton3", QStringLiteral("&Help"), QStringLiteral("Help with proxy settings"));
    SpeedButton1 =
        button("SpeedButton1", QStringLiteral("&Save"), QStringLiteral("Save Proxy Settings"));
    SpeedButton2 = button("SpeedButton2", QStringLiteral("&Close"),
                          QStringLiteral("Close the proxy settings"));
    auto* bar = new QHBoxLayout;
    bar->addWidget(SpeedButton3);
    bar->addStretch(1);
    bar->addWidget(SpeedButton1);
    bar->addWidget(SpeedButton2);
    auto* main = new QVBoxLayout(this);
    main->addWidget(GroupBox1);
    main->addStretch(1);
    main->addLayout(bar);

    auto guarded = [this](void (Tpset::*handler)()) {
        return [this, handler] { platform::runGuarded(m_dialogs, [&] { (this->*handler)(); }); };
    };
    connect(SpeedButton1, &QPushButton::clicked, this, guarded(&Tpset::SpeedButton1Click));
    connect(SpeedButton2, &QPushButton::clicked, this, guarded(&Tpset::SpeedButton2Click));
    connect(SpeedButton3, &QPushButton::clicked, this, guarded(&Tpset::SpeedButton3Click));
}

void Tpset::FormCreate() {
    getdefaults();
}

void Tpset::getdefaults() {
    platform::RegistryStore reg(m_registryPath);
    // Opened for writing, never created: without it the fields stay empty.
    if (!reg.openKey(m_key, false))
        return;
    if (reg.valueExists(kProxy))
        Edit1->setText(reg.readString(kProxy));
    if (reg.valueExists(kUser))
        Edit2->setText(reg.readString(kUser));
    const QString stored =
        reg.valueExists(kPassword) ? platform::trimControl(reg.readString(kPassword)) : QString();
    Edit3->setText(proxy::DecodePWD(stored));
}

void Tpset::setdefaults() {
    platform::RegistryStore reg(m_registryPath);
    if (!reg.openKey(m_key, false))
        throw platform::Error(reg.lastError());
    auto put = [&](const QString& name, const QString& value) {
        if (!reg.writeString(name, value))
            throw platform::Error(reg.lastError());
    };
    // Created when missing: nothing else ever creates them, so a save would otherwise keep no
    // server and no user name.
    put(kProxy, platform::trimControl(Edit1->text()));
    put(kUser, platform::trimControl(Edit2->text()));
    put(kPassword, proxy::EncodePWD(platform::trimControl(Edit3->text())));
}

void Tpset::SpeedButton1Click() {
    try {
        setdefaults();
    } catch (const std::exception&) {
        m_dialogs.error(kNotUpdated);
        return;
    }
    m_dialogs.information(kUpdated);
}

void Tpset::SpeedButton2Click() {
    reject();
}

void Tpset::SpeedButton3Click() {
    m_help.showTopic(m_helpFile, kHelpTopic);
}

} // namespace quillmark
