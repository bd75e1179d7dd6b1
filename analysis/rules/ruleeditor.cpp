#include "ruleeditor.h"
#include "analysis/engine/workfiles.h"

#include "rulestore.h"
#include "rulevalues.h"

#include "platform/ascii.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/help.h"
#include "platform/registrystore.h"
#include "platform/windowsize.h"

#include <QCheckBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace quillmark {

namespace {

const QString kCaption = QStringLiteral("Quillmark - Meta Tag Analysis  (Rule Base)");
const QString kKeywordLengthError = QStringLiteral(
    "Error with Keyword Length Check:\n\r\n\rThe maximum value of the keyword length cannot be "
    "less then the minimum value.\n\rTo correct the error please set the maximum value to be "
    "greater then the minimum value.\n\r\n\rCurrent Min Value: ");
const QString kDescriptionLengthError = QStringLiteral(
    "Error with Description Length Check:\n\r\n\rThe maximum value of the description length "
    "cannot be less then the minimum value.\n\rTo correct the error please set the maximum value "
    "to be greater then the minimum value.\n\r\n\rCurrent Min Value: ");
const QString kCurrentMax = QStringLiteral("Current Max Value: ");
const QString kUpdated = QStringLiteral("Default Values Updated.");
const QString kCannotOpen = QStringLiteral("Cannot open file ");
const QString kCannotCreate = QStringLiteral("Cannot create file ");
const QString kCannotSaveSettings =
    QStringLiteral("The rule base settings could not be saved.\r\n\r\n%1");
const int kHelpTopic = 3;

QString lengthError(const QString& head, const SpinField* min, const SpinField* max) {
    return head + min->text() + QStringLiteral("\n\r") + kCurrentMax + max->text();
}

// The editor's control of a rule: a check box for a switch, a field for a number.
struct Control {
    QCheckBox* box = nullptr;
    SpinField* field = nullptr;
};

Control control(const RuleEditor& d, rulevalues::RuleControl c) {
    using C = rulevalues::RuleControl;
    switch (c) {
    case C::SafeSurfBox:
        return {d.safeSurfBox};
    case C::RsacBox:
        return {d.rsacBox};
    case C::WeburbiaBox:
        return {d.weburbiaBox};
    case C::KeywordsBox:
        return {d.keywordsBox};
    case C::KeywordsMaximum:
        return {nullptr, d.keywordsMaximum};
    case C::KeywordsMinimum:
        return {nullptr, d.keywordsMinimum};
    case C::DescriptionBox:
        return {d.descriptionBox};
    case C::DescriptionMaximum:
        return {nullptr, d.descriptionMaximum};
    case C::DescriptionMinimum:
        return {nullptr, d.descriptionMinimum};
    case C::RatingBox:
        return {d.ratingBox};
    case C::PrivacyBox:
        return {d.privacyBox};
    case C::BodyCheckCount:
        return {nullptr, d.bodyCheckCount};
    }
    Q_UNREACHABLE();
    return {};
}

// What the settings store keeps of a control: "1" or "0" for a box, the text of a field.
QString storedText(const Control& c) {
    if (c.box)
        return c.box->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    return c.field->text();
}

int startingNumber(rulevalues::RuleControl c) {
    return QString::fromLatin1(rulevalues::ruleShownBy(c).startingValue).toInt();
}

bool allDigits(const QString& s) {
    for (QChar c : s)
        if (c < u'0' || c > u'9')
            return false;
    return !s.isEmpty();
}

} // namespace

// ---------------------------------------------------------------------------------------------
// SpinField

SpinField::SpinField(int minimum, int maximum, int step, int value, QWidget* parent)
    : QAbstractSpinBox(parent), m_min(minimum), m_max(maximum), m_step(step) {
    setText(QString::number(value));
    // The arrows follow the text, whoever changed it.
    connect(lineEdit(), &QLineEdit::textChanged, this, [this] { update(); });
    connect(this, &QAbstractSpinBox::editingFinished, this, [this] {
        QString t = text();
        fixup(t);
        if (t != text())
            setText(t);
    });
}

void SpinField::setText(const QString& text) {
    lineEdit()->setText(text);
}

int SpinField::value() const {
    bool ok = false;
    const int v = text().trimmed().toInt(&ok);
    return ok ? v : m_min;
}

void SpinField::stepBy(int steps) {
    const qint64 next = qint64(value()) + qint64(steps) * m_step;
    setText(QString::number(std::clamp<qint64>(next, m_min, m_max)));
}

QAbstractSpinBox::StepEnabled SpinField::stepEnabled() const {
    if (isReadOnly())
        return StepNone;
    bool ok = false;
    const int v = text().trimmed().toInt(&ok);
    if (!ok)
        return StepUpEnabled | StepDownEnabled;
    StepEnabled e = StepNone;
    if (v < m_max)
        e |= StepUpEnabled;
    if (v > m_min)
        e |= StepDownEnabled;
    return e;
}

QValidator::State SpinField::validate(QString& input, int& /*pos*/) const {
    if (input.isEmpty())
        return QValidator::Acceptable;
    if (!allDigits(input) || input.size() > QString::number(m_max).size())
        return QValidator::Invalid;
    return input.toInt() > m_max ? QValidator::Intermediate : QValidator::Acceptable;
}

void SpinField::fixup(QString& input) const {
    // Typed numbers above the range are brought down to its top; other texts stay as they are.
    if (allDigits(input) && input.size() <= 9 && input.toInt() > m_max)
        input = QString::number(m_max);
}

QSize SpinField::sizeHint() const {
    QSize s = QAbstractSpinBox::sizeHint();
    s.rwidth() += fontMetrics().horizontalAdvance(QString::number(m_max) + QLatin1Char('0'));
    return s;
}

// ---------------------------------------------------------------------------------------------
// TagGrid

TagGrid::TagGrid(const QString& heading, QWidget* parent) : QTableWidget(0, 1, parent) {
    setHorizontalHeaderLabels({heading});
    horizontalHeader()->setStretchLastSection(true);
    horizontalHeader()->setSectionsClickable(false);
    verticalHeader()->hide();
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                    QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    setTabKeyNavigation(false);
    setWordWrap(false);
}

QString TagGrid::name(int row) const {
    const QTableWidgetItem* it = item(row, 0);
    return it ? it->text() : QString();
}

void TagGrid::setName(int row, const QString& name) {
    if (QTableWidgetItem* it = item(row, 0))
        it->setText(name);
    else
        setItem(row, 0, new QTableWidgetItem(name));
}

QStringList TagGrid::names() const {
    QStringList out;
    out.reserve(rowCount());
    for (int r = 0; r < rowCount(); ++r)
        out.append(name(r));
    return out;
}

void TagGrid::setNames(const QStringList& names) {
    setRowCount(0);
    setRowCount(int(qMax<qsizetype>(names.size(), 1)));
    for (int r = 0; r < rowCount(); ++r)
        setName(r, names.value(r));
    setCurrentCell(0, 0);
}

void TagGrid::removeBlankRows() {
    commitEdit();
    for (int r = rowCount() - 1; r >= 0; --r)
        if (platform::trimControl(name(r)).isEmpty())
            removeRow(r);
}

void TagGrid::commitEdit() {
    if (state() != QAbstractItemView::EditingState)
        return;
    if (QWidget* editor = indexWidget(currentIndex())) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

void TagGrid::insertRowAt(int row) {
    commitEdit();
    row = qBound(0, row, rowCount());
    insertRow(row);
    setName(row, QString());
    setCurrentCell(row, 0);
}

void TagGrid::deleteCurrentRow() {
    commitEdit();
    const int row = currentRow();
    if (row < 0)
        return;
    removeRow(row);
    if (rowCount() == 0)
        insertRowAt(0);
    else
        setCurrentCell(qMin(row, rowCount() - 1), 0);
}

void TagGrid::nextRow() {
    commitEdit();
    const int row = currentRow();
    if (row >= rowCount() - 1) {
        insertRow(rowCount());
        setName(rowCount() - 1, QString());
    }
    setCurrentCell(row < 0 ? 0 : row + 1, 0);
}

void TagGrid::keyPressEvent(QKeyEvent* event) {
    const bool editing = state() == QAbstractItemView::EditingState;
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Taken here, so that Enter never reaches the dialog's buttons.
        if (mods == Qt::NoModifier) {
            event->accept();
            // An open editor commits itself once this key is handled; move on after that.
            if (editing)
                QMetaObject::invokeMethod(this, &TagGrid::nextRow, Qt::QueuedConnection);
            else
                nextRow();
            return;
        }
        break;
    case Qt::Key_Insert:
        if (!editing && mods == Qt::NoModifier) {
            insertRowAt(qMax(currentRow(), 0));
            event->accept();
            return;
        }
        break;
    case Qt::Key_Delete:
        if (!editing && (mods == Qt::NoModifier || mods == Qt::ControlModifier)) {
            deleteCurrentRow();
            event->accept();
            return;
        }
        break;
    default:
        break;
    }
    QTableWidget::keyPressEvent(event);
}

// ---------------------------------------------------------------------------------------------
// RuleEditor

RuleEditor::RuleEditor(platform::Dialogs& dialogs, platform::Help& help, QString helpFile,
                       platform::Folders folders, QString registryPath, QWidget* parent)
    : QDialog(parent), m_dialogs(dialogs), m_help(help), m_helpFile(std::move(helpFile)),
      m_folders(std::move(folders)), m_registryPath(std::move(registryPath)) {
    setObjectName(QStringLiteral("poledit"));
    setWindowTitle(kCaption);
    buildWindow();
    initialize();
}

void RuleEditor::buildWindow() {
    requiredTagsBox = new QGroupBox(QStringLiteral("Required Meta Tags "), this);
    requiredTagsBox->setObjectName(QStringLiteral("GroupBox1"));
    tagGrid = new TagGrid(engine::RuleTable::kHeading, requiredTagsBox);
    tagGrid->setObjectName(QStringLiteral("grid1"));
    auto* left = new QVBoxLayout(requiredTagsBox);
    left->addWidget(tagGrid);

    defaultTagsBox = new QGroupBox(QStringLiteral("Default Tags Required "), this);
    defaultTagsBox->setObjectName(QStringLiteral("GroupBox2"));
    auto check = [this](const char* name, const QString& caption) {
        auto* box = new QCheckBox(caption, defaultTagsBox);
        box->setObjectName(QString::fromLatin1(name));
        return box;
    };
    safeSurfBox = check("CheckBox1", QStringLiteral("&SafeSurf (PICS)"));
    rsacBox = check("CheckBox2", QStringLiteral("&RSAC (PICS)"));
    weburbiaBox = check("CheckBox3", QStringLiteral("&Weburbia (PICS)"));
    ratingBox = check("CheckBox6", QStringLiteral("R&ating (EARLY form of PICS)"));
    privacyBox = check("CheckBox7", QStringLiteral("Pr&ivacy (Link to Privacy URL)"));
    privacyBox->setToolTip(QStringLiteral("Check for the privacy tag"));
    keywordsBox = check("CheckBox4", QStringLiteral("&Keywords"));
    descriptionBox = check("CheckBox5", QStringLiteral("&Description"));

    using C = rulevalues::RuleControl;
    auto spin = [this](const char* name, C shows, int min, int max, int step, const QString& hint) {
        auto* field = new SpinField(min, max, step, startingNumber(shows), defaultTagsBox);
        field->setObjectName(QString::fromLatin1(name));
        field->setToolTip(hint);
        return field;
    };
    keywordsMinimum = spin("keymin", C::KeywordsMinimum, 0, 99999, 10,
                           QStringLiteral("Minimum Length of the Key Words Tag"));
    keywordsMaximum = spin("keymax", C::KeywordsMaximum, 0, 1500, 10,
                           QStringLiteral("Maximum Length of the Key Words Tag"));
    descriptionMinimum = spin("descmin", C::DescriptionMinimum, 0, 99999, 20,
                              QStringLiteral("Minimum Length of the Description  Tag"));
    descriptionMaximum = spin("descmax", C::DescriptionMaximum, 0, 99999, 20,
                              QStringLiteral("Maximum Length of the Description Tag"));
    bodyCheckCount = spin("bcheck", C::BodyCheckCount, 0, 999999, 1000, QString());
    for (SpinField* f : {keywordsMinimum, keywordsMaximum, descriptionMinimum, descriptionMaximum})
        f->setEnabled(false);

    picture = new QLabel(defaultTagsBox);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setPixmap(QPixmap(QDir(m_folders.data).filePath(engine::kLogoFile)));

    auto label = [this](const QString& text, QWidget* buddy) {
        auto* l = new QLabel(text, defaultTagsBox);
        l->setBuddy(buddy);
        return l;
    };
    auto* right = new QGridLayout(defaultTagsBox);
    int row = 0;
    right->addWidget(picture, row++, 0, 1, 4, Qt::AlignHCenter);
    for (QCheckBox* b : {safeSurfBox, rsacBox, weburbiaBox, ratingBox, privacyBox})
        right->addWidget(b, row++, 0, 1, 4);
    auto* promotion = new QLabel(QStringLiteral("Site Promotion verification"), defaultTagsBox);
    QFont bold = promotion->font();
    bold.setBold(true);
    promotion->setFont(bold);
    right->addWidget(promotion, row++, 0, 1, 4);
    right->addWidget(keywordsBox, row++, 0, 1, 4);
    right->addWidget(label(QStringLiteral("Min"), keywordsMinimum), row, 0);
    right->addWidget(keywordsMinimum, row, 1);
    right->addWidget(label(QStringLiteral("Max"), keywordsMaximum), row, 2);
    right->addWidget(keywordsMaximum, row++, 3);
    right->addWidget(descriptionBox, row++, 0, 1, 4);
    right->addWidget(label(QStringLiteral("Min"), descriptionMinimum), row, 0);
    right->addWidget(descriptionMinimum, row, 1);
    right->addWidget(label(QStringLiteral("Max"), descriptionMaximum), row, 2);
    right->addWidget(descriptionMaximum, row++, 3);
    right->addWidget(label(QStringLiteral("Body Check Count"), bodyCheckCount), row, 0, 1, 2);
    right->addWidget(bodyCheckCount, row++, 2, 1, 2);
    right->setRowStretch(row, 1);

    auto button = [this](const char* name, const QString& caption, const QString& hint) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(hint);
        // Enter in the grid or a field must not save or close the editor.
        b->setAutoDefault(false);
        return b;
    };
    helpButton = button("Button1", QStringLiteral("&Help"), QStringLiteral("Help"));
    // Alt+S is SafeSurf's; every other letter of "Save" but 'v' is taken in this window.
    saveButton =
        button("Button2", QStringLiteral("Sa&ve"), QStringLiteral("Save the Rule Base Settings"));
    closeButton =
        button("Button3", QStringLiteral("&Close"), QStringLiteral("Close the Rule Base Editor"));

    auto* top = new QHBoxLayout;
    top->addWidget(requiredTagsBox, 1);
    top->addWidget(defaultTagsBox, 0);
    auto* bar = new QHBoxLayout;
    bar->addWidget(helpButton);
    bar->addStretch(1);
    bar->addWidget(saveButton);
    bar->addWidget(closeButton);
    auto* main = new QVBoxLayout(this);
    main->addLayout(top, 1);
    main->addLayout(bar);
    platform::startSize(this, QSize(576, 435), QSize(576, 274));

    connect(keywordsBox, &QCheckBox::toggled, this, [this] { keywordsRequiredClicked(); });
    connect(descriptionBox, &QCheckBox::toggled, this, [this] { descriptionRequiredClicked(); });
    // A button's failure reaches the standard error box; the editor stays open.
    auto guarded = [this](void (RuleEditor::*handler)()) {
        return [this, handler] { platform::runGuarded(m_dialogs, [&] { (this->*handler)(); }); };
    };
    connect(helpButton, &QPushButton::clicked, this, guarded(&RuleEditor::showHelp));
    connect(saveButton, &QPushButton::clicked, this, guarded(&RuleEditor::save));
    connect(closeButton, &QPushButton::clicked, this, guarded(&RuleEditor::closeEditor));
}

QString RuleEditor::requiredTagFile() const {
    return rules::requiredTagFile(m_folders.userData);
}

QString RuleEditor::requiredTagFileToRead() const {
    return rules::requiredTagFileToRead(m_folders);
}

void RuleEditor::initialize() {
    loadSettings();
    QStringList names;
    try {
        names = rules::readRequiredTags(requiredTagFileToRead());
    } catch (const std::exception&) {
        m_dialogs.error(kCannotOpen + requiredTagFileToRead());
    }
    tagGrid->setNames(names);
}

void RuleEditor::loadSettings() {
    platform::RegistryStore reg(m_registryPath);
    if (!reg.openKeyReadOnly(rules::kSettingsKey))
        return;
    auto on = [&](rulevalues::RuleMember sw) {
        return engine::RuleValues::on(
            reg.readString(rulevalues::valueName(rulevalues::ruleOf(sw))));
    };
    for (const rulevalues::Rule& rule : rulevalues::kRules) {
        const Control c = control(*this, rule.control);
        if (c.box) {
            // A length switch that is off leaves its box and fields as they are, as it leaves
            // its lengths unread.
            if (on(rule.member) || !rulevalues::hasLengths(rule))
                c.box->setChecked(on(rule.member));
        } else if (!rule.lengthOf || on(rule.lengthOf)) {
            const QString name = rulevalues::valueName(rule);
            if (reg.valueExists(name))
                c.field->setText(reg.readString(name));
        }
    }
}

void RuleEditor::saveSettings() {
    platform::RegistryStore reg(m_registryPath);
    if (!reg.openKey(rules::kSettingsKey, true))
        throw platform::Error(kCannotSaveSettings.arg(reg.lastError()));
    auto ticked = [this](rulevalues::RuleMember sw) {
        return control(*this, rulevalues::ruleOf(sw).control).box->isChecked();
    };
    for (const rulevalues::Rule& rule : rulevalues::kRules) {
        if (rule.lengthOf && !ticked(rule.lengthOf))
            continue;
        if (!reg.writeString(rulevalues::addedName(rule), storedText(control(*this, rule.control))))
            throw platform::Error(kCannotSaveSettings.arg(reg.lastError()));
    }
}

void RuleEditor::keywordsRequiredClicked() {
    keywordsMinimum->setEnabled(keywordsBox->isChecked());
    keywordsMaximum->setEnabled(keywordsBox->isChecked());
}

void RuleEditor::descriptionRequiredClicked() {
    descriptionMinimum->setEnabled(descriptionBox->isChecked());
    descriptionMaximum->setEnabled(descriptionBox->isChecked());
}

void RuleEditor::save() {
    // What is being typed counts, even when Save is reached by its shortcut.
    tagGrid->commitEdit();
    for (SpinField* f : {keywordsMinimum, keywordsMaximum, descriptionMinimum, descriptionMaximum,
                         bodyCheckCount}) {
        QString t = f->text();
        f->fixup(t);
        if (t != f->text())
            f->setText(t);
    }
    // Both tests run whether the boxes are ticked or not.
    if (keywordsMinimum->value() > keywordsMaximum->value()) {
        m_dialogs.error(lengthError(kKeywordLengthError, keywordsMinimum, keywordsMaximum));
        return;
    }
    if (descriptionMinimum->value() > descriptionMaximum->value()) {
        m_dialogs.error(
            lengthError(kDescriptionLengthError, descriptionMinimum, descriptionMaximum));
        return;
    }
    saveSettings();
    tagGrid->removeBlankRows();
    const QStringList names = tagGrid->names();
    if (tagGrid->rowCount() == 0)
        tagGrid->insertRowAt(0); // a row to type the next name in
    try {
        rules::writeRequiredTags(m_folders.listToWrite(rules::kRequiredTagList), names);
    } catch (const platform::EFCreateError&) {
        m_dialogs.error(kCannotCreate + requiredTagFile());
        return;
    }
    m_dialogs.information(kUpdated);
}

void RuleEditor::closeEditor() {
    reject();
}

void RuleEditor::showHelp() {
    m_help.showTopic(m_helpFile, kHelpTopic);
}

} // namespace quillmark
