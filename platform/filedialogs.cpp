#include "filedialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QStringList>

namespace platform {

QString qtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts.at(i + 1);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        out.append(parts.at(i) + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return out.join(QStringLiteral(";;"));
}

static QString runFileDialog(QWidget* parent, const FileDialogs::Options& o,
                             QFileDialog::AcceptMode mode) {
    QFileDialog dlg(parent, o.title, o.folder, qtFilter(o.filter));
    dlg.setAcceptMode(mode);
    dlg.setFileMode(QFileDialog::AnyFile); // an open dialog may name a file that does not exist
    dlg.setDefaultSuffix(o.defaultSuffix);
    if (!o.fileName.isEmpty())
        dlg.selectFile(o.fileName);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return QString();
    return QDir::toNativeSeparators(dlg.selectedFiles().first());
}

QString QtFileDialogs::openFileName(const Options& options) {
    return runFileDialog(m_parent, options, QFileDialog::AcceptOpen);
}

QString QtFileDialogs::saveFileName(const Options& options) {
    return runFileDialog(m_parent, options, QFileDialog::AcceptSave);
}

QString QtFileDialogs::existingDirectory(const QString& title, const QString& folder) {
    return QFileDialog::getExistingDirectory(m_parent, title, folder);
}

} // namespace platform
