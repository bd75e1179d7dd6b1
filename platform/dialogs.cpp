#include "dialogs.h"

#include "errors.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace platform {

void Dialogs::standardError(const std::exception& e) {
    if (const auto* err = dynamic_cast<const Error*>(&e))
        error(err->message());
    else
        error(QString::fromUtf8(e.what()));
}

void runGuarded(Dialogs& dialogs, const std::function<void()>& command) {
    try {
        command();
    } catch (const std::exception& e) {
        dialogs.standardError(e);
    }
}

QtDialogs::QtDialogs(QString title, QWidget* parent)
    : m_title(std::move(title)), m_parent(parent) {}

Dialogs::Button QtDialogs::show(Kind kind, const QString& text, const QList<Button>& buttons) {
    QMessageBox box(m_parent ? m_parent : QApplication::activeWindow());
    box.setWindowTitle(m_title);
    box.setText(text);
    switch (kind) {
    case Kind::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case Kind::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case Kind::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case Kind::Confirmation:
        box.setIcon(QMessageBox::Question);
        break;
    case Kind::Plain:
        box.setIcon(QMessageBox::NoIcon);
        break;
    }
    QList<QPair<QAbstractButton*, Button>> map;
    for (Button b : buttons) {
        QMessageBox::StandardButton sb = QMessageBox::Ok;
        switch (b) {
        case Button::Ok:
            sb = QMessageBox::Ok;
            break;
        case Button::Yes:
            sb = QMessageBox::Yes;
            break;
        case Button::No:
            sb = QMessageBox::No;
            break;
        case Button::Cancel:
            sb = QMessageBox::Cancel;
            break;
        }
        map.append({box.addButton(sb), b});
    }
    box.exec();
    for (const auto& [qb, b] : map)
        if (box.clickedButton() == qb)
            return b;
    // Closed by its frame or Escape: the last button, as the platform's boxes do.
    return buttons.isEmpty() ? Button::Ok : buttons.last();
}

} // namespace platform
