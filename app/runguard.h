#pragma once
// Keeps one interface process per user: a shared-memory segment held while this process runs,
// guarded by a system semaphore.

#include <QSharedMemory>
#include <QString>
#include <QSystemSemaphore>

class RunGuard {
public:
    explicit RunGuard(const QString& key);
    ~RunGuard();
    RunGuard(const RunGuard&) = delete;
    RunGuard& operator=(const RunGuard&) = delete;

    // True when this process may run; it then holds the segment until the guard is destroyed.
    bool tryToRun();

    static QString generateKeyHash(const QString& key, const QString& salt);

private:
    const QString key_;
    const QString memLockKey_;
    const QString sharedMemKey_;
    QSharedMemory sharedMem_;
    QSystemSemaphore memLock_;
};
