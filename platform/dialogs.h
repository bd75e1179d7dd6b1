#pragma once

#include <QList>
#include <QString>

#include <exception>
#include <functional>

class QWidget;

namespace platform {

// Message boxes: information, error, warning, confirmation and plain.
class Dialogs {
public:
    enum class Kind { Information, Error, Warning, Confirmation, Plain };
    enum class Button { Ok, Yes, No, Cancel };

    virtual ~Dialogs() = default;

    // Shows one modal box and answers the button that closed it.
    virtual Button show(Kind kind, const QString& text, const QList<Button>& buttons) = 0;

    void information(const QString& text) { show(Kind::Information, text, {Button::Ok}); }
    void error(const QString& text) { show(Kind::Error, text, {Button::Ok}); }
    void warning(const QString& text) { show(Kind::Warning, text, {Button::Ok}); }
    void plain(const QString& text) { show(Kind::Plain, text, {Button::Ok}); }
    // A question with Yes and No; true for Yes.
    bool confirm(const QString& text) {
        return show(Kind::Confirmation, text, {Button::Yes, Button::No}) == Button::Yes;
    }
    // The application's standard error box, for errors that a command does not catch.
    void standardError(const std::exception& e);
};

// Runs a command; an error it does not catch reaches the standard error box and the program
// runs on.
void runGuarded(Dialogs& dialogs, const std::function<void()>& command);

// The real boxes (QMessageBox with the matching icon).
class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(QString title, QWidget* parent = nullptr);
    void setParent(QWidget* parent) { m_parent = parent; }
    Button show(Kind kind, const QString& text, const QList<Button>& buttons) override;

private:
    QString m_title;
    QWidget* m_parent;
};

} // namespace platform
