#include "analysis/rules/ruleeditor.h"
#include "analysis/rules/rulestore.h"
#include "platform/textfile.h"
#include "support/modal.h"
#include "support/quillmarkharness.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>

using quillmark::RuleEditor;
using quillmark::SpinField;
using quillmark::TagGrid;
using testsupport::expect;
using testsupport::ModalScript;
using testsupport::QuillmarkHarness;
using testsupport::state;
using testsupport::TestEnv;
using Kind = platform::Dialogs::Kind;

namespace {

const QString& kKey = rules::kSettingsKey; // a reference: the key is built by another unit
const QString kHelpFile = QStringLiteral("/opt/quillmark/quillmark.hlp");
const QString kUpdated = QStringLiteral("Default Values Updated.");

QString keywordError(const QString& min, const QString& max) {
    return QStringLiteral(
               "Error with Keyword Length Check:\n\r\n\rThe maximum value of the keyword length "
               "cannot be less then the minimum value.\n\rTo correct the error please set the "
               "maximum value to be greater then the minimum value.\n\r\n\rCurrent Min Value: ") +
           min + QStringLiteral("\n\rCurrent Max Value: ") + max;
}

QString descriptionError(const QString& min, const QString& max) {
    return QStringLiteral(
               "Error with Description Length Check:\n\r\n\rThe maximum value of the description "
               "length cannot be less then the minimum value.\n\rTo correct the error please set "
               "the maximum value to be greater then the minimum value.\n\r\n\rCurrent Min "
               "Value: ") +
           min + QStringLiteral("\n\rCurrent Max Value: ") + max;
}

struct Fixture {
    TestEnv env;
    testsupport::ScriptedDialogs dialogs;
    testsupport::RecordingHelp help;

    QString metareq() const { return rules::requiredTagFile(env.programFolder()); }
    void setMetareq(const QByteArray& bytes) const { env.writeFile(metareq(), bytes); }
    QByteArray metareqBytes() const { return env.readFile(metareq()); }
    QByteArray registryBytes() const { return env.readFile(env.registryPath()); }
    QString value(const char* name) const { return env.value(kKey, QString::fromLatin1(name)); }
    void set(const char* name, const QString& value) const {
        env.setValue(kKey, QString::fromLatin1(name), value);
    }
    std::unique_ptr<RuleEditor> open() {
        return std::make_unique<RuleEditor>(dialogs, help, kHelpFile, env.folders(),
                                            env.registryPath());
    }
};

QStringList fields(const RuleEditor& d) {
    return {d.keywordsMinimum->text(), d.keywordsMaximum->text(), d.descriptionMinimum->text(),
            d.descriptionMaximum->text(), d.bodyCheckCount->text()};
}

QList<bool> boxes(const RuleEditor& d) {
    return {d.safeSurfBox->isChecked(), d.rsacBox->isChecked(),        d.weburbiaBox->isChecked(),
            d.keywordsBox->isChecked(), d.descriptionBox->isChecked(), d.ratingBox->isChecked(),
            d.privacyBox->isChecked()};
}

QList<bool> lengthFieldsEnabled(const RuleEditor& d) {
    return {d.keywordsMinimum->isEnabled(), d.keywordsMaximum->isEnabled(),
            d.descriptionMinimum->isEnabled(), d.descriptionMaximum->isEnabled()};
}

// Every caption of a window that gives an Alt key, by that key: buttons and check boxes, labels
// with a buddy (a label without one takes no key), group boxes and tabs, on every page.
QMultiMap<int, QString> accelerators(const QWidget* window) {
    QMultiMap<int, QString> keys;
    auto add = [&](const QString& caption) {
        const QKeySequence key = QKeySequence::mnemonic(caption);
        if (!key.isEmpty())
            keys.insert(key[0].toCombined(), caption);
    };
    for (const QAbstractButton* b : window->findChildren<QAbstractButton*>())
        add(b->text());
    for (const QLabel* l : window->findChildren<QLabel*>())
        if (l->buddy())
            add(l->text());
    for (const QGroupBox* g : window->findChildren<QGroupBox*>())
        add(g->title());
    for (const QTabWidget* t : window->findChildren<QTabWidget*>())
        for (int i = 0; i < t->count(); ++i)
            add(t->tabText(i));
    return keys;
}

} // namespace

class TestRuleBaseEditor : public QObject {
    Q_OBJECT
private slots:
    // No stored values: the starting values, every box off, the length fields disabled.
    void dialogAsDescribed() {
        Fixture f;
        f.setMetareq("author\r\ncopyright\r\n");
        auto d = f.open();
        QCOMPARE(d->objectName(), QStringLiteral("poledit"));
        QCOMPARE(d->windowTitle(), QStringLiteral("Quillmark - Meta Tag Analysis  (Rule Base)"));
        QCOMPARE(d->size(), QSize(576, 435));
        // Never smaller than 576 x 274, nor than its controls need.
        QVERIFY(d->minimumSize().width() >= 576 && d->minimumSize().height() >= 274);
        QCOMPARE(d->requiredTagsBox->title(), QStringLiteral("Required Meta Tags "));
        QCOMPARE(d->defaultTagsBox->title(), QStringLiteral("Default Tags Required "));
        QCOMPARE(d->tagGrid->columnCount(), 1);
        QCOMPARE(d->tagGrid->horizontalHeaderItem(0)->text(),
                 QStringLiteral("Required Meta Tag Listing"));
        QCOMPARE(d->tagGrid->names(), (QStringList{"author", "copyright"}));

        const QList<QPair<QCheckBox*, QString>> captions{
            {d->safeSurfBox, "&SafeSurf (PICS)"},
            {d->rsacBox, "&RSAC (PICS)"},
            {d->weburbiaBox, "&Weburbia (PICS)"},
            {d->ratingBox, "R&ating (EARLY form of PICS)"},
            {d->privacyBox, "Pr&ivacy (Link to Privacy URL)"},
            {d->keywordsBox, "&Keywords"},
            {d->descriptionBox, "&Description"},
        };
        for (const auto& [box, caption] : captions)
            QCOMPARE(box->text(), caption);
        QCOMPARE(d->privacyBox->toolTip(), QStringLiteral("Check for the privacy tag"));
        QStringList labels;
        for (QLabel* l : d->defaultTagsBox->findChildren<QLabel*>())
            labels << l->text();
        QVERIFY(labels.contains(QStringLiteral("Site Promotion verification")));
        QVERIFY(labels.contains(QStringLiteral("Body Check Count")));
        QCOMPARE(labels.count(QStringLiteral("Min")), 2);
        QCOMPARE(labels.count(QStringLiteral("Max")), 2);

        struct Spin {
            SpinField* field;
            int step, max;
            QString hint;
        };
        const QList<Spin> spins{
            {d->keywordsMinimum, 10, 99999, "Minimum Length of the Key Words Tag"},
            {d->keywordsMaximum, 10, 1500, "Maximum Length of the Key Words Tag"},
            {d->descriptionMinimum, 20, 99999, "Minimum Length of the Description  Tag"},
            {d->descriptionMaximum, 20, 99999, "Maximum Length of the Description Tag"},
            {d->bodyCheckCount, 1000, 999999, QString()},
        };
        for (const Spin& s : spins) {
            QCOMPARE(s.field->singleStep(), s.step);
            QCOMPARE(s.field->minimum(), 0);
            QCOMPARE(s.field->maximum(), s.max);
            QCOMPARE(s.field->toolTip(), s.hint);
        }
        QCOMPARE(fields(*d), (QStringList{"500", "1000", "75", "200", "5000"}));
        QCOMPARE(boxes(*d), QList<bool>(7, false));
        QCOMPARE(lengthFieldsEnabled(*d), QList<bool>(4, false));
        QVERIFY(d->bodyCheckCount->isEnabled());

        const QList<QPair<QPushButton*, QStringList>> buttons{
            {d->helpButton, {"&Help", "Help"}},
            {d->saveButton, {"Sa&ve", "Save the Rule Base Settings"}},
            {d->closeButton, {"&Close", "Close the Rule Base Editor"}},
        };
        for (const auto& [b, texts] : buttons) {
            QCOMPARE(b->text(), texts.at(0));
            QCOMPARE(b->toolTip(), texts.at(1));
        }
        d->helpButton->click();
        QCOMPARE(f.help.topics.size(), 1);
        QCOMPARE(f.help.topics.at(0).file, kHelpFile);
        QCOMPARE(f.help.topics.at(0).topic, 3);
        QVERIFY(f.dialogs.shown.isEmpty());
        QVERIFY(!f.env.keyExists(kKey)); // opening the editor writes nothing
    }

    // No two controls share an Alt key, and Save has one of its own that saves.
    void acceleratorsDistinct() {
        Fixture f;
        auto d = f.open();
        const QMultiMap<int, QString> keys = accelerators(d.get());
        QVERIFY(keys.size() >= 10);
        for (int key : keys.uniqueKeys())
            QVERIFY2(keys.count(key) == 1, qPrintable(QStringList(keys.values(key)).join(u", ")));

        d->show();
        d->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(d.get()));
        const QKeyCombination save = QKeySequence::mnemonic(d->saveButton->text())[0];
        // A key two controls share only moves the focus between them; one of its own presses.
        QTest::keyClick(d.get(), save.key(), save.keyboardModifiers());
        QTRY_COMPARE(f.dialogs.texts(), QStringList{kUpdated});
        QVERIFY(!d->safeSurfBox->isChecked());
        QTest::keyClick(d.get(), Qt::Key_S, Qt::AltModifier);
        QTRY_VERIFY(d->safeSurfBox->isChecked());
        QCOMPARE(f.dialogs.texts(), QStringList{kUpdated});
    }

    void storedValuesShown() {
        Fixture f;
        f.set("keyreq", "1");
        f.set("KEYWORDS", "800");
        f.set("keywordsm", "120");
        f.set("DescReq", "1");
        f.set("Description", "180");
        f.set("descriptionm", "40");
        f.set("bodychk", "2500");
        f.set("Rating", "1");
        f.set("Privacy", "yes");
        f.set("rweb", "1");
        f.set("rsafe", "1");
        f.set("rrsac", "0");
        auto d = f.open();
        QCOMPARE(fields(*d), (QStringList{"120", "800", "40", "180", "2500"}));
        // SafeSurf, RSAC, Weburbia, Keywords, Description, Rating, Privacy
        QCOMPARE(boxes(*d), (QList<bool>{true, false, true, true, true, true, false}));
        QCOMPARE(lengthFieldsEnabled(*d), QList<bool>(4, true));

        // With its switch off a length stays at its starting value, whatever is stored.
        Fixture off;
        off.set("KeyReq", "true");
        off.set("keywords", "800");
        off.set("DescReq", "0");
        off.set("descriptionm", "40");
        auto d2 = off.open();
        QCOMPARE(fields(*d2), (QStringList{"500", "1000", "75", "200", "5000"}));
        QCOMPARE(lengthFieldsEnabled(*d2), QList<bool>(4, false));
    }

    void tickingEnablesAndUntickingKeepsValues() {
        Fixture f;
        auto d = f.open();
        d->keywordsBox->click();
        QCOMPARE(lengthFieldsEnabled(*d), (QList<bool>{true, true, false, false}));
        d->keywordsMinimum->setText(QStringLiteral("320"));
        d->keywordsBox->click();
        QCOMPARE(lengthFieldsEnabled(*d), QList<bool>(4, false));
        QCOMPARE(d->keywordsMinimum->text(), QStringLiteral("320"));
        d->descriptionBox->click();
        QCOMPARE(lengthFieldsEnabled(*d), (QList<bool>{false, false, true, true}));
        d->descriptionBox->click();
        QCOMPARE(lengthFieldsEnabled(*d), QList<bool>(4, false));
    }

    void lengthChecks_data() {
        QTest::addColumn<QStringList>(
            "lengths"); // keywordsMinimum, keywordsMaximum, descriptionMinimum, descriptionMaximum
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<QString>("message");
        QTest::newRow("keywords 1000 over 500, box off")
            << QStringList{"1000", "500", "75", "200"} << false << keywordError("1000", "500");
        QTest::newRow("keywords wrong, box on")
            << QStringList{"1000", "500", "75", "200"} << true << keywordError("1000", "500");
        QTest::newRow("description 300 over 200, box off")
            << QStringList{"500", "1000", "300", "200"} << false << descriptionError("300", "200");
        QTest::newRow("both wrong: keywords first")
            << QStringList{"9", "8", "7", "6"} << true << keywordError("9", "8");
        QTest::newRow("numbers, not texts, compared")
            << QStringList{"90", "100", "75", "200"} << true << kUpdated;
        QTest::newRow("600 and 600 accepted")
            << QStringList{"600", "600", "600", "600"} << true << kUpdated;
        QTest::newRow("blank fields count as 0") << QStringList{"", "", "", ""} << true << kUpdated;
        QTest::newRow("blank max under a min")
            << QStringList{"10", "", "75", "200"} << false << keywordError("10", "");
    }
    void lengthChecks() {
        QFETCH(QStringList, lengths);
        QFETCH(bool, ticked);
        QFETCH(QString, message);
        Fixture f;
        f.set("keywords", "1");
        const QByteArray registry = f.registryBytes();
        const QByteArray metareq = f.metareqBytes();
        auto d = f.open();
        d->keywordsBox->setChecked(ticked);
        d->descriptionBox->setChecked(ticked);
        d->keywordsMinimum->setText(lengths.at(0));
        d->keywordsMaximum->setText(lengths.at(1));
        d->descriptionMinimum->setText(lengths.at(2));
        d->descriptionMaximum->setText(lengths.at(3));
        d->saveButton->click();
        QCOMPARE(f.dialogs.texts(), QStringList{message});
        if (message == kUpdated) {
            QCOMPARE(f.dialogs.shown.at(0).kind, Kind::Information);
            QCOMPARE(f.value("keywordsm"), lengths.at(0));
            QCOMPARE(f.value("keywords"), lengths.at(1));
        } else {
            QCOMPARE(f.dialogs.shown.at(0).kind, Kind::Error);
            QCOMPARE(f.registryBytes(), registry);
            QCOMPARE(f.metareqBytes(), metareq);
        }
    }

    void settingsWritten() {
        Fixture f;
        f.set("KeyReq", "1");
        f.set("keywords", "900");
        f.set("keywordsm", "100");
        f.set("description", "150");
        auto d = f.open();
        QCOMPARE(d->keywordsMaximum->text(), QStringLiteral("900"));
        d->keywordsBox->click(); // Keywords off
        d->keywordsMaximum->setText(QStringLiteral("1200"));
        d->descriptionBox->click(); // Description on
        d->descriptionMinimum->setText(QStringLiteral("60"));
        d->descriptionMaximum->setText(QStringLiteral("240"));
        d->safeSurfBox->click();
        d->privacyBox->click();
        d->bodyCheckCount->setText(QStringLiteral("3000"));
        d->saveButton->click();
        QCOMPARE(f.dialogs.texts(), QStringList{kUpdated});
        const QList<QPair<const char*, QString>> expected{
            {"KeyReq", "0"},  {"keywords", "900"},    {"keywordsm", "100"},
            {"DescReq", "1"}, {"description", "240"}, {"descriptionm", "60"},
            {"rsafe", "1"},   {"rrsac", "0"},         {"rweb", "0"},
            {"Rating", "0"},  {"Privacy", "1"},       {"bodychk", "3000"},
        };
        for (const auto& [name, value] : expected)
            QCOMPARE(f.value(name), value);
    }

    // The bytes Save leaves in the settings file: a value already stored keeps the spelling of its
    // name, a value added is spelled as the editor has always spelled it.
    void settingsFileBytes_data() {
        QTest::addColumn<QByteArray>("before"); // empty: no settings file
        QTest::addColumn<QByteArray>("after");
        const QByteArray head =
            "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\VRNH\\Quillmark]\r\n";
        QTest::newRow("every value added")
            << QByteArray()
            << head + "\"rsafe\"=\"0\"\r\n\"rrsac\"=\"1\"\r\n\"rweb\"=\"0\"\r\n\"KeyReq\"=\"1\"\r\n"
                      "\"keywords\"=\"1000\"\r\n\"KeyWordsm\"=\"130\"\r\n\"DescReq\"=\"1\"\r\n"
                      "\"Description\"=\"200\"\r\n\"Descriptionm\"=\"75\"\r\n\"Rating\"=\"0\"\r\n"
                      "\"Privacy\"=\"0\"\r\n\"bodychk\"=\"5000\"\r\n";
        QTest::newRow("stored names keep their spelling")
            << head + "\"KeyReq\"=\"1\"\r\n\"KEYWORDSM\"=\"120\"\r\n\"DescReq\"=\"1\"\r\n"
                      "\"description\"=\"200\"\r\n\"BodyChk\"=\"5000\"\r\n\"RRSAC\"=\"0\"\r\n"
            << head + "\"KeyReq\"=\"1\"\r\n\"KEYWORDSM\"=\"130\"\r\n\"DescReq\"=\"1\"\r\n"
                      "\"description\"=\"200\"\r\n\"BodyChk\"=\"5000\"\r\n\"RRSAC\"=\"1\"\r\n"
                      "\"rsafe\"=\"0\"\r\n\"rweb\"=\"0\"\r\n\"keywords\"=\"1000\"\r\n"
                      "\"Descriptionm\"=\"75\"\r\n\"Rating\"=\"0\"\r\n\"Privacy\"=\"0\"\r\n";
    }
    void settingsFileBytes() {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        Fixture f;
        if (!before.isEmpty())
            f.env.writeFile(f.env.registryPath(), before);
        auto d = f.open();
        d->keywordsBox->setChecked(true);
        d->descriptionBox->setChecked(true);
        d->rsacBox->setChecked(true);
        d->keywordsMinimum->setText(QStringLiteral("130"));
        d->saveButton->click();
        QCOMPARE(f.dialogs.texts(), QStringList{kUpdated});
        QCOMPARE(f.registryBytes(), after);
    }

    void requiredTagsSaved() {
        Fixture f;
        f.setMetareq("author\r\n\r\n \t\r\ncopyright\r\n\r\n");
        auto d = f.open();
        QCOMPARE(d->tagGrid->rowCount(), 5);
        d->tagGrid->setName(4, QStringLiteral("dc.subject, dc.title"));
        d->tagGrid->insertRowAt(5);
        d->tagGrid->setName(5, QStringLiteral("odd \"name\"; kept"));
        d->saveButton->click();
        QCOMPARE(f.dialogs.texts(), QStringList{kUpdated});
        QCOMPARE(f.metareqBytes(), QByteArray("author\r\ncopyright\r\n\"dc.subject, dc.title\"\r\n"
                                              "\"odd \"\"name\"\"; kept\"\r\n"));
        QCOMPARE(d->tagGrid->names(), (QStringList{"author", "copyright", "dc.subject, dc.title",
                                                   "odd \"name\"; kept"}));
        // Names read back as they were written, here and in the main window's rule table.
        QCOMPARE(f.open()->tagGrid->names(), d->tagGrid->names());
        QStringList requiredTags;
        engine::RuleTable table;
        rules::buildRuleTable(f.env.folders(), engine::RuleValues(), requiredTags, table);
        QCOMPARE(table.names(), d->tagGrid->names());

        // Every row blank: an empty file, and still one row to type in.
        for (int r = 0; r < d->tagGrid->rowCount(); ++r)
            d->tagGrid->setName(r, QStringLiteral("  "));
        d->saveButton->click();
        QCOMPARE(f.metareqBytes(), QByteArray());
        QCOMPARE(d->tagGrid->rowCount(), 1);
    }

    void requiredTagLines_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("readBack");
        QTest::newRow("plain") << "author"
                               << "author"
                               << "author";
        QTest::newRow("blanks kept") << " author "
                                     << " author "
                                     << " author ";
        QTest::newRow("comma") << "a,b"
                               << "\"a,b\""
                               << "a,b";
        QTest::newRow("line breaks removed") << "a\r\nb,c"
                                             << "\"ab,c\""
                                             << "ab,c";
        QTest::newRow("lone line break") << "a\nb"
                                         << "\"ab\""
                                         << "ab";
        QTest::newRow("inner quotes doubled") << "x,\"y\""
                                              << "\"x,\"\"y\"\"\""
                                              << "x,\"y\"";
        QTest::newRow("leading quote") << "\"q"
                                       << "\"\"\"q\""
                                       << "\"q";
        QTest::newRow("other delimiters") << "a|b#c\td"
                                          << "\"a|b#c\td\""
                                          << "a|b#c\td";
    }
    void requiredTagLines() {
        QFETCH(QString, name);
        QFETCH(QString, line);
        QFETCH(QString, readBack);
        QCOMPARE(rules::requiredTagLine(name), line);
        // Read back in the company of names that share a delimiter with it.
        TestEnv env;
        const QString path = rules::requiredTagFile(env.programFolder());
        rules::writeRequiredTags(path, {name, QStringLiteral("p;q,r|s"), name});
        QCOMPARE(rules::readRequiredTags(path),
                 (QStringList{readBack, QStringLiteral("p;q,r|s"), readBack}));
    }

    // The grid from the keyboard, in a shown editor.
    void gridKeyboard() {
        Fixture f;
        f.setMetareq("author\r\n");
        auto d = f.open();
        d->show();
        d->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(d.get()));
        TagGrid* g = d->tagGrid;
        g->setFocus();
        g->setCurrentCell(0, 0);
        // The first key opens the editor; the rest go to it.
        auto startTyping = [&](const QString& text) {
            QTest::keyClick(g, text.at(0).toLatin1());
            QWidget* editor = QApplication::focusWidget();
            if (qobject_cast<QLineEdit*>(editor) && g->editing())
                QTest::keyClicks(editor, text.mid(1));
            else
                QTest::qFail("typing did not open the cell's editor", __FILE__, __LINE__);
            return editor;
        };
        auto typeInCell = [&](const QString& text) {
            const int next = g->currentRow() + 1;
            QTest::keyClick(startTyping(text), Qt::Key_Return); // commits and goes to the next row
            QTRY_COMPARE(g->currentRow(), next);
            QVERIFY(!g->editing());
        };
        // Enter in the last row appends one.
        QTest::keyClick(g, Qt::Key_Return);
        QCOMPARE(g->rowCount(), 2);
        QCOMPARE(g->currentRow(), 1);
        typeInCell(QStringLiteral("copyright"));
        QCOMPARE(g->names(), (QStringList{"author", "copyright", ""}));
        QCOMPARE(g->currentRow(), 2);
        // Insert adds a row above the current one.
        g->setCurrentCell(1, 0);
        QTest::keyClick(g, Qt::Key_Insert);
        QCOMPARE(g->names(), (QStringList{"author", "", "copyright", ""}));
        QCOMPARE(g->currentRow(), 1);
        typeInCell(QStringLiteral("generator"));
        QCOMPARE(g->names(), (QStringList{"author", "generator", "copyright", ""}));
        QCOMPARE(g->currentRow(), 2);
        // Delete removes the current row; a name being edited keeps its Delete key.
        QTest::keyClick(g, Qt::Key_Delete);
        QCOMPARE(g->names(), (QStringList{"author", "generator", ""}));
        g->setCurrentCell(0, 0);
        QTest::keyClick(g, Qt::Key_F2);
        QWidget* editor = QApplication::focusWidget();
        QVERIFY(qobject_cast<QLineEdit*>(editor));
        QTest::keyClick(editor, Qt::Key_End);
        QTest::keyClick(editor, Qt::Key_Backspace);
        QTest::keyClick(editor, Qt::Key_Home);
        QTest::keyClick(editor, Qt::Key_Delete);
        QCOMPARE(g->rowCount(), 3);
        QTest::keyClick(editor, Qt::Key_Escape); // the edit is given up
        QCOMPARE(g->name(0), QStringLiteral("author"));
        QTest::keyClick(g, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(g->names(), (QStringList{"generator", ""}));
        // Save keeps the name that is still being typed; Enter never saved.
        QVERIFY(f.dialogs.shown.isEmpty());
        g->setCurrentCell(1, 0);
        startTyping(QStringLiteral("robots"));
        QVERIFY(g->editing());
        // A click that takes no focus, as a key would.
        d->saveButton->click();
        QCOMPARE(f.dialogs.texts(), QStringList{kUpdated});
        QCOMPARE(f.metareqBytes(), QByteArray("generator\r\nrobots\r\n"));
        // Deleting the last row leaves a blank one to type in.
        g->setNames({});
        QCOMPARE(g->rowCount(), 1);
        QTest::keyClick(g, Qt::Key_Delete);
        QCOMPARE(g->rowCount(), 1);
        d->hide();
    }

    void spinFieldTyping() {
        SpinField field(0, 1500, 10, 1000);
        field.show();
        QVERIFY(QTest::qWaitForWindowExposed(&field));
        QLineEdit* edit = field.findChild<QLineEdit*>();
        edit->selectAll();
        QTest::keyClicks(&field, QStringLiteral("12a-3"));
        QCOMPARE(field.text(), QStringLiteral("123"));
        edit->selectAll();
        QTest::keyClick(&field, Qt::Key_Backspace);
        QCOMPARE(field.text(), QString()); // may be left blank
        QCOMPARE(field.value(), 0);
        QTest::keyClick(&field, Qt::Key_Up);
        QCOMPARE(field.text(), QStringLiteral("10"));
        QTest::keyClick(&field, Qt::Key_Down);
        QTest::keyClick(&field, Qt::Key_Down);
        QCOMPARE(field.text(), QStringLiteral("0"));
        // A number above the range is brought down when editing ends; the arrows stop at the top.
        edit->selectAll();
        QTest::keyClicks(&field, QStringLiteral("99999"));
        QCOMPARE(field.text(), QStringLiteral("9999")); // no more digits than the top has
        QTest::keyClick(&field, Qt::Key_Return);
        QCOMPARE(field.text(), QStringLiteral("1500"));
        QTest::keyClick(&field, Qt::Key_Up);
        QCOMPARE(field.text(), QStringLiteral("1500"));
        // A stored text is shown as it is; its value is the minimum.
        field.setText(QStringLiteral("abc"));
        QCOMPARE(field.text(), QStringLiteral("abc"));
        QCOMPARE(field.value(), 0);
        QTest::keyClick(&field, Qt::Key_Up);
        QCOMPARE(field.text(), QStringLiteral("10"));
    }

    void fileFailures() {
        Fixture f;
        // A folder where the file must be: it can be neither read nor replaced, even as root.
        QFile::remove(f.metareq());
        QVERIFY(QDir().mkpath(f.metareq()));
        auto d = f.open();
        QCOMPARE(f.dialogs.texts(), QStringList{QStringLiteral("Cannot open file ") + f.metareq()});
        QCOMPARE(f.dialogs.shown.at(0).kind, Kind::Error);
        QCOMPARE(d->tagGrid->names(), QStringList{QString()});
        d->tagGrid->setName(0, QStringLiteral("author"));
        d->ratingBox->click();
        f.dialogs.shown.clear();
        d->saveButton->click();
        QCOMPARE(f.dialogs.texts(),
                 QStringList{QStringLiteral("Cannot create file ") + f.metareq()});
        QCOMPARE(f.dialogs.shown.at(0).kind, Kind::Error);
        QCOMPARE(f.value("Rating"), QStringLiteral("1")); // the settings were written first
        QVERIFY(QFileInfo(f.metareq()).isDir());

        // A missing Required folder is made again on Save.
        Fixture gone;
        QVERIFY(QDir(QFileInfo(gone.metareq()).absolutePath()).removeRecursively());
        auto d2 = gone.open();
        d2->tagGrid->setName(0, QStringLiteral("author"));
        d2->saveButton->click();
        QCOMPARE(gone.dialogs.texts().last(), kUpdated);
        QCOMPARE(gone.metareqBytes(), QByteArray("author\r\n"));
    }

    void unwritableSettings() {
        Fixture f;
        f.set("Rating", "0");
        const QByteArray registry = f.registryBytes();
        const QByteArray metareq = f.metareqBytes();
        const testsupport::WriteBlock locked(f.env.registryPath());
        QVERIFY(locked.isSet());
        auto d = f.open();
        d->ratingBox->click();
        d->tagGrid->setName(0, QStringLiteral("changed"));
        d->saveButton->click();
        QCOMPARE(f.dialogs.shown.size(), 1);
        QCOMPARE(f.dialogs.shown.at(0).kind, Kind::Error);
        QVERIFY(f.dialogs.texts().at(0).startsWith(
            QStringLiteral("The rule base settings could not be saved.")));
        QCOMPARE(f.registryBytes(), registry);
        QCOMPARE(f.metareqBytes(), metareq);
    }

    void closeDiscardsEdits() {
        Fixture f;
        const QByteArray metareq = f.metareqBytes();
        auto d = f.open();
        d->safeSurfBox->click();
        d->tagGrid->setName(0, QStringLiteral("changed"));
        const ModalScript close(
            expect<RuleEditor>([](RuleEditor* editor) { editor->closeButton->click(); }));
        QCOMPARE(d->exec(), int(QDialog::Rejected));
        QVERIFY(!f.env.keyExists(kKey));
        QCOMPARE(f.metareqBytes(), metareq);
        QVERIFY(f.dialogs.shown.isEmpty());
    }

    // "Rule Base ..." opens the editor modally, destroys it, and reloads the rule base, so a saved
    // change holds for the next check without a restart.
    void mainWindowReloadsAfterTheEditor() {
        QuillmarkHarness h;
        h.env.writeFile(rules::requiredTagFile(h.env.programFolder()), "author\r\n");
        auto* form = h.startShown();
        QCOMPARE(state(form).ruleTable.names(), QStringList{"author"});
        QCOMPARE(state(form).rules.bodychk,
                 QStringLiteral("5000")); // the editor's starting value until one is stored
        auto* action = form->findChild<QAction*>(QStringLiteral("RuleBase1"));
        auto* button = form->findChild<QToolButton*>(QStringLiteral("SpeedButton2"));
        QVERIFY(action && button);

        QPointer<RuleEditor> seen;
        bool modal = false;
        const ModalScript edit(expect<RuleEditor>([&](RuleEditor* editor) {
            seen = editor;
            modal = seen->isModal();
            seen->ratingBox->click();
            seen->keywordsBox->click();
            seen->keywordsMaximum->setText(QStringLiteral("700"));
            seen->bodyCheckCount->setText(QStringLiteral("2500"));
            seen->tagGrid->insertRowAt(1);
            seen->tagGrid->setName(1, QStringLiteral("copyright"));
            seen->saveButton->click();
            seen->helpButton->click();
            seen->closeButton->click();
        }));
        action->trigger();
        QVERIFY(modal);
        QVERIFY(seen.isNull());
        QCOMPARE(h.dialogs.texts(), QStringList{kUpdated});
        QCOMPARE(h.help.topics.size(), 1);
        QCOMPARE(h.help.topics.at(0).file, state(form).helpFile);
        QCOMPARE(state(form).rules.Rating, QStringLiteral("1"));
        QCOMPARE(state(form).rules.KeyReq, QStringLiteral("1"));
        QCOMPARE(state(form).rules.keywords, QStringLiteral("700"));
        QCOMPARE(state(form).rules.bodychk, QStringLiteral("2500"));
        QCOMPARE(state(form).ruleTable.names(),
                 (QStringList{"author", "copyright", "keywords", "rating"}));
        QCOMPARE(platform::readLines(rules::derivedTagFile(h.env.programFolder())),
                 state(form).ruleTable.names());

        // Closed without saving, the rule base is still reloaded (here: changed meanwhile).
        const ModalScript closeUnsaved(expect<RuleEditor>([&](RuleEditor* editor) {
            h.env.writeFile(rules::requiredTagFile(h.env.programFolder()), "generator\r\n");
            h.env.setValue(kKey, QStringLiteral("Rating"), QStringLiteral("0"));
            editor->closeButton->click();
        }));
        button->click();
        QCOMPARE(state(form).ruleTable.names(), (QStringList{"generator", "keywords"}));
        QCOMPARE(h.dialogs.shown.size(), 1);
    }
};

QTEST_MAIN(TestRuleBaseEditor)
#include "tst_ruleeditor.moc"
