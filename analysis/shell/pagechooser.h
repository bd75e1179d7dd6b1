#pragma once

#include <QDialog>

class QListWidget;

namespace quillmark {

// The web host's page dialog: the pages of the open web, one to pick.
class PageChooser : public QDialog {
    Q_OBJECT
public:
    PageChooser(const QStringList& pages, const QString& current, QWidget* parent = nullptr,
                const QString& heading = QStringLiteral("Pages of the open web:"));
    QString selectedPage() const;
    QListWidget* list() const { return m_list; }

private:
    QListWidget* m_list;
};

// The web's page files among all its files.
QStringList webPages(const QStringList& files);

} // namespace quillmark
