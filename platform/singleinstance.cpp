#include "singleinstance.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

namespace platform {

SingleInstance::SingleInstance(QString name) : m_name(std::move(name)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::lockPath() const {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir + QLatin1Char('/') + m_name + QStringLiteral(".lock");
}

bool SingleInstance::tryAcquire() {
    if (m_lock && m_lock->isLocked())
        return true;
    // An empty lock file is what a copy leaves that died while creating it: nothing to honour.
    const QFileInfo info(lockPath());
    if (info.isFile() && info.size() == 0 &&
        info.lastModified().msecsTo(QDateTime::currentDateTime()) > 5000)
        QFile::remove(lockPath());
    m_lock = std::make_unique<QLockFile>(lockPath());
    // A running holder never goes stale by age; a dead one is detected by its process id.
    m_lock->setStaleLockTime(0);
    return m_lock->tryLock(0);
}

} // namespace platform
