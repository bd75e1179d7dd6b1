#include "pagechooser.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace quillmark {

QStringList webPages(const QStringList& files) {
    static const char* const kTypes[] = {".htm", ".html", ".shtml", ".shtm", ".asp"};
    QStringList pages;
    for (const QString& f : files)
        for (const char* t : kTypes)
            if (f.endsWith(QLatin1String(t), Qt::CaseInsensitive)) {
                pages.append(f);
                break;
            }
    pages.sort(Qt::CaseInsensitive);
    return pages;
}

PageChooser::PageChooser(const QStringList& pages, const QString& current, QWidget* parent,
                         const QString& heading)
    : QDialog(parent) {
    setObjectName(QStringLiteral("PageChooser"));
    setWindowTitle(QStringLiteral("Open Page"));
    resize(420, 360);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(heading, this));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("pages"));
    m_list->addItems(pages);
    const auto found = m_list->findItems(current, Qt::MatchFixedString);
    if (!found.isEmpty())
        m_list->setCurrentItem(found.first());
    else if (m_list->count() > 0)
        m_list->setCurrentRow(0);
    layout->addWidget(m_list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    layout->addWidget(buttons);
}

QString PageChooser::selectedPage() const {
    const QListWidgetItem* item = m_list->currentItem();
    return item ? item->text() : QString();
}

} // namespace quillmark
