#include "analysis/proxy/passwordwindow.h"
#include "analysis/proxy/proxysettings.h"
#include "analysis/rules/rulestore.h"
#include "platform/registrystore.h"
#include "support/modal.h"
#include "support/quillmarkharness.h"

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QtTest>

using quillmark::ProxySettingsDialog;
using testsupport::expect;
using testsupport::ModalScript;
using testsupport::QuillmarkHarness;
using testsupport::state;
using testsupport::TestEnv;
using Kind = platform::Dialogs::Kind;

namespace {

const QString& kKey = rules::kSettingsKey; // a reference: the key is built by another unit
const QString kHelpFile = QStringLiteral("/opt/quillmark/quillmark.hlp");

struct Fixture {
    TestEnv env;
    testsupport::ScriptedDialogs dialogs;
    testsupport::RecordingHelp help;
    std::unique_ptr<ProxySettingsDialog> open() {
        return std::make_unique<ProxySettingsDialog>(dialogs, help, kHelpFile, env.registryPath(),
                                                     kKey);
    }
    QByteArray registryBytes() const { return env.readFile(env.registryPath()); }
};

void fill(ProxySettingsDialog& d, const QString& server, const QString& user,
          const QString& password) {
    d.serverEdit->setText(server);
    d.userEdit->setText(user);
    d.passwordEdit->setText(password);
}

} // namespace

class TestProxySettings : public QObject {
    Q_OBJECT
private slots:
    void dialogAsDescribed() {
        Fixture f;
        auto d = f.open();
        QCOMPARE(d->windowTitle(), QStringLiteral("Quillmark - Proxy Settings"));
        QCOMPARE(d->size(), QSize(482, 172));
        QCOMPARE(d->proxyBox->title(), QStringLiteral("Proxy Server"));
        QStringList labels;
        for (QLabel* l : d->proxyBox->findChildren<QLabel*>())
            labels << l->text();
        QCOMPARE(labels, (QStringList{"Ser&ver", "&User Name", "&Password"}));
        QCOMPARE(d->passwordEdit->echoMode(), QLineEdit::Password);
        QCOMPARE(d->passwordEdit->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr,
                                                     d->passwordEdit),
                 int('*'));
        const QList<QPair<QPushButton*, QStringList>> buttons{
            {d->helpButton, {"&Help", "Help with proxy settings"}},
            {d->saveButton, {"&Save", "Save Proxy Settings"}},
            {d->closeButton, {"&Close", "Close the proxy settings"}},
        };
        for (const auto& [b, texts] : buttons) {
            QCOMPARE(b->text(), texts.at(0));
            QCOMPARE(b->toolTip(), texts.at(1));
        }
        d->helpButton->click();
        QCOMPARE(f.help.topics.size(), 1);
        QCOMPARE(f.help.topics.at(0).file, kHelpFile);
        QCOMPARE(f.help.topics.at(0).topic, 6);
        QVERIFY(f.dialogs.shown.isEmpty());
    }

    void reopenShowsSavedValues() {
        Fixture f;
        f.env.setValue(kKey, QStringLiteral("Proxy"), QString());
        f.env.setValue(kKey, QStringLiteral("PUSER"), QString());
        {
            auto d = f.open();
            fill(*d, QStringLiteral("  proxy.example.com:8080 "), QStringLiteral("\tann "),
                 QStringLiteral(" s3cret pw  "));
            d->saveButton->click();
            QCOMPARE(f.dialogs.texts(), QStringList{"Proxy Settings Updated"});
            QCOMPARE(f.dialogs.shown.at(0).kind, Kind::Information);
        }
        QCOMPARE(f.env.value(kKey, QStringLiteral("proxy")),
                 QStringLiteral("proxy.example.com:8080"));
        QCOMPARE(f.env.value(kKey, QStringLiteral("puser")), QStringLiteral("ann"));
        QCOMPARE(f.env.value(kKey, QStringLiteral("puserp")),
                 proxy::EncodePWD(QStringLiteral("s3cret pw")));
        QVERIFY(!f.registryBytes().contains("s3cret"));
        auto again = f.open();
        QCOMPARE(again->serverEdit->text(), QStringLiteral("proxy.example.com:8080"));
        QCOMPARE(again->userEdit->text(), QStringLiteral("ann"));
        QCOMPARE(again->passwordEdit->text(), QStringLiteral("s3cret pw"));
    }

    void longAndEmptyPasswords() {
        Fixture f;
        f.env.setValue(kKey, QStringLiteral("bodychk"), QStringLiteral("5000"));
        const QString longPassword =
            QStringLiteral("correct horse battery staple \u00E9t\u00E9 ").repeated(3);
        for (const QString& password : {longPassword, QString()}) {
            auto d = f.open();
            d->passwordEdit->setText(password);
            d->saveButton->click();
            const QString stored = f.env.value(kKey, QStringLiteral("puserp"));
            QCOMPARE(stored.isEmpty(), password.isEmpty());
            QCOMPARE(stored.contains(QStringLiteral("\r\n")), !password.isEmpty());
            QCOMPARE(f.open()->passwordEdit->text(), password.trimmed());
        }
        QVERIFY(f.env.valueExists(kKey, QStringLiteral("puserp")));
        QCOMPARE(f.dialogs.count(QStringLiteral("Proxy Settings Updated")), 2);
    }

    // Server and user name are stored whether or not their values existed: on the key as a
    // first start leaves it, nothing but the password would be kept otherwise.
    void serverAndUserAreStored_data() {
        QTest::addColumn<QString>("storedUser"); // "" for no value
        QTest::addColumn<QString>("shownUser");
        QTest::newRow("fresh key") << QString() << QString();
        QTest::newRow("only the user name existed") << " bob "
                                                    << " bob "; // shown as stored
    }
    void serverAndUserAreStored() {
        QFETCH(QString, storedUser);
        QFETCH(QString, shownUser);
        Fixture f;
        {
            platform::RegistryStore reg(f.env.registryPath());
            QVERIFY(reg.openKey(kKey, true));
        }
        if (!storedUser.isEmpty())
            f.env.setValue(kKey, QStringLiteral("puser"), storedUser);
        auto d = f.open();
        QCOMPARE(d->serverEdit->text(), QString());
        QCOMPARE(d->userEdit->text(), shownUser);
        const QString password =
            QStringLiteral("correct horse battery staple \u00E9t\u00E9 and more");
        fill(*d, QStringLiteral(" proxy.example.com "), QStringLiteral("carol"), password);
        d->saveButton->click();
        QCOMPARE(f.dialogs.texts(), QStringList{"Proxy Settings Updated"});
        QCOMPARE(f.env.value(kKey, QStringLiteral("proxy")), QStringLiteral("proxy.example.com"));
        QCOMPARE(f.env.value(kKey, QStringLiteral("puser")), QStringLiteral("carol"));
        QCOMPARE(f.env.value(kKey, QStringLiteral("puserp")), proxy::EncodePWD(password));
        QVERIFY(
            f.registryBytes().contains("\"puserp\"=\"" +
                                       proxy::EncodePWD(password)
                                           .replace(QLatin1String("\r\n"), QLatin1String("\\r\\n"))
                                           .toUtf8() +
                                       "\"\r\n"));
        auto again = f.open();
        QCOMPARE(again->serverEdit->text(), QStringLiteral("proxy.example.com"));
        QCOMPARE(again->userEdit->text(), QStringLiteral("carol"));
        QCOMPARE(again->passwordEdit->text(), password);
    }

    void unwritableRegistry() {
        Fixture f;
        f.env.setValue(kKey, QStringLiteral("proxy"), QStringLiteral("old.example.com"));
        f.env.setValue(kKey, QStringLiteral("puserp"), proxy::EncodePWD(QStringLiteral("old")));
        const QByteArray before = f.registryBytes();
        const testsupport::WriteBlock locked(f.env.registryPath());
        QVERIFY(locked.isSet());
        auto d = f.open();
        QCOMPARE(d->serverEdit->text(), QString());
        QCOMPARE(d->passwordEdit->text(), QString());
        QVERIFY(f.dialogs.shown.isEmpty());
        fill(*d, QStringLiteral("new.example.com"), QString(), QStringLiteral("new"));
        bool openAfterSave = false;
        const ModalScript saveAndClose(
            expect<ProxySettingsDialog>([&](ProxySettingsDialog* dialog) {
                dialog->saveButton->click();
                openAfterSave = dialog->isVisible();
                dialog->closeButton->click();
            }));
        d->exec();
        QVERIFY(openAfterSave);
        QCOMPARE(f.dialogs.texts(), QStringList{"Unable to Update Proxy Settings."});
        QCOMPARE(f.dialogs.shown.at(0).kind, Kind::Error);
        QCOMPARE(f.registryBytes(), before);
    }

    void missingKeyIsNotCreated() {
        Fixture f;
        auto d = f.open();
        fill(*d, QStringLiteral("proxy"), QStringLiteral("user"), QStringLiteral("pw"));
        d->saveButton->click();
        QCOMPARE(f.dialogs.texts(), QStringList{"Unable to Update Proxy Settings."});
        QVERIFY(!f.env.keyExists(kKey));
    }

    void storedPasswordThatIsNotEncoded() {
        Fixture f;
        f.env.setValue(kKey, QStringLiteral("puserp"), QStringLiteral("  typed by hand!  "));
        auto d = f.open();
        QCOMPARE(d->passwordEdit->text(), proxy::DecodePWD(QStringLiteral("typed by hand!")));
        QVERIFY(f.dialogs.shown.isEmpty());
    }

    void closeSavesNothing() {
        Fixture f;
        f.env.setValue(kKey, QStringLiteral("proxy"), QStringLiteral("kept"));
        const QByteArray before = f.registryBytes();
        auto d = f.open();
        fill(*d, QStringLiteral("changed"), QString(), QStringLiteral("pw"));
        const ModalScript close(expect<ProxySettingsDialog>(
            [](ProxySettingsDialog* dialog) { dialog->closeButton->click(); }));
        QCOMPARE(d->exec(), int(QDialog::Rejected));
        QCOMPARE(f.registryBytes(), before);
        QVERIFY(f.dialogs.shown.isEmpty());
    }

    // The Edit menu item and the toolbar button open the dialog modally; it is gone afterwards.
    void openedFromTheMainWindow() {
        QuillmarkHarness h;
        auto* form = h.startShown();
        h.env.setValue(kKey, QStringLiteral("proxy"), QStringLiteral("proxy.example.com"));
        auto* action = form->findChild<QAction*>(QStringLiteral("ProxySettings1"));
        auto* button = form->findChild<QToolButton*>(QStringLiteral("RzToolbarButton6"));
        QVERIFY(action && button);
        QCOMPARE(action->text(), QStringLiteral("Pro&xy Settings ..."));
        QCOMPARE(button->text(), QStringLiteral("Settings"));
        QCOMPARE(button->toolTip(), QStringLiteral("Quillmark settings"));
        for (const std::function<void()>& trigger : std::initializer_list<std::function<void()>>{
                 [&] { action->trigger(); }, [&] { button->click(); }}) {
            QPointer<ProxySettingsDialog> seen;
            bool modal = false;
            QString server;
            const ModalScript dialog(expect<ProxySettingsDialog>([&](ProxySettingsDialog* d) {
                seen = d;
                modal = seen->isModal();
                server = seen->serverEdit->text();
                seen->helpButton->click();
                seen->closeButton->click();
            }));
            trigger();
            QVERIFY(modal);
            QCOMPARE(server, QStringLiteral("proxy.example.com"));
            QVERIFY(seen.isNull()); // destroyed when the command ended
        }
        QCOMPARE(h.help.topics.size(), 2);
        QCOMPARE(h.help.topics.at(1).file, state(form).helpFile);
        QCOMPARE(h.help.topics.at(1).topic, 6);
    }
};

QTEST_MAIN(TestProxySettings)
#include "tst_proxysettings.moc"
