#include "sitedialog.h"

#include "openweb.h"

#include "platform/dialogs.h"
#include "platform/help.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillmark {

SiteDialog::SiteDialog(platform::Dialogs& dialogs, platform::Help& help, QString helpFile,
                       const QStringList& recent, const QString& current, QWidget* parent)
    : QDialog(parent), m_dialogs(dialogs), m_help(help), m_helpFile(std::move(helpFile)) {
    setObjectName(QStringLiteral("SiteDialog"));
    setWindowTitle(QStringLiteral("Open Site"));
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QStringLiteral("&Address of the site (http:// or https://):"), this);
    layout->addWidget(label);
    m_address = new QComboBox(this);
    m_address->setObjectName(QStringLiteral("address"));
    m_address->setEditable(true);
    m_address->setInsertPolicy(QComboBox::NoInsert);
    m_address->addItems(recent);
    m_address->setMinimumContentsLength(48);
    m_address->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_address->setEditText(current.isEmpty() ? recent.value(0) : current);
    m_address->lineEdit()->setPlaceholderText(QStringLiteral("https://www.example.org/"));
    m_address->lineEdit()->selectAll();
    label->setBuddy(m_address);
    layout->addWidget(m_address);
    layout->addStretch();

    auto* buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this,
            [this] { m_help.showTopic(m_helpFile, kHelpTopic); });
    layout->addWidget(buttons);
    m_address->setFocus();
}

QString SiteDialog::address() const {
    return m_address->currentText().trimmed();
}

void SiteDialog::accept() {
    const QString problem = OpenWeb::addressProblem(address());
    if (!problem.isEmpty()) {
        m_dialogs.error(problem);
        m_address->setFocus();
        return;
    }
    QDialog::accept();
}

} // namespace quillmark
