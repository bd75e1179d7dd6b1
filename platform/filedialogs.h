#pragma once

#include <QString>

class QWidget;

namespace platform {

// The standard file dialogs. Filters are written as the system writes them:
// "Results List|*.rls|All Files|*.*".
class FileDialogs {
public:
    struct Options {
        QString title;
        QString filter;
        QString defaultSuffix;
        QString folder;
        QString fileName;
    };
    virtual ~FileDialogs() = default;
    // The chosen path, or an empty text when the user cancelled.
    virtual QString openFileName(const Options& options) = 0;
    virtual QString saveFileName(const Options& options) = 0;
    virtual QString existingDirectory(const QString& title, const QString& folder) = 0;
};

// "Results List|*.rls|All Files|*.*" -> "Results List (*.rls);;All Files (*.*)"
QString qtFilter(const QString& filter);

class QtFileDialogs : public FileDialogs {
public:
    explicit QtFileDialogs(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }
    QString openFileName(const Options& options) override;
    QString saveFileName(const Options& options) override;
    QString existingDirectory(const QString& title, const QString& folder) override;

private:
    QWidget* m_parent;
};

} // namespace platform
