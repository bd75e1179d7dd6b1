#pragma once

#include <QString>

#include <memory>

class QLockFile;

namespace platform {

// The system-wide mutex of a program: a lock file in the runtime folder, named after the
// executable's file name. A lock left behind by a process that died does not count.
class SingleInstance {
public:
    explicit SingleInstance(QString name);
    ~SingleInstance();

    // True when no other copy holds the lock; this copy then holds it until it ends.
    bool tryAcquire();
    QString lockPath() const;

private:
    QString m_name;
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace platform
