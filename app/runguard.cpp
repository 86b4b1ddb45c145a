#include "app/runguard.h"

#include <QCryptographicHash>

QString RunGuard::generateKeyHash(const QString& key, const QString& salt) {
    QByteArray data = key.toUtf8();
    data.append(salt.toUtf8());
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha1).toHex());
}

RunGuard::RunGuard(const QString& key)
    : key_(key), memLockKey_(generateKeyHash(key, QStringLiteral("_memLockKey"))),
      sharedMemKey_(generateKeyHash(key, QStringLiteral("_sharedmemKey"))), sharedMem_(sharedMemKey_),
      memLock_(memLockKey_, 1, QSystemSemaphore::Open) {
    memLock_.acquire();
    {
        // On Unix, attaching and detaching a second handle frees a segment a crashed instance left.
        QSharedMemory fix(sharedMemKey_);
        fix.attach();
    }
    memLock_.release();
}

RunGuard::~RunGuard() {
    memLock_.acquire();
    if (sharedMem_.isAttached()) {
        sharedMem_.detach();
    }
    memLock_.release();
}

bool RunGuard::tryToRun() {
    if (!sharedMem_.isAttached()) {
        memLock_.acquire();
        const bool running = sharedMem_.attach();
        if (running) {
            sharedMem_.detach();
        }
        memLock_.release();
        if (running) {
            return false;
        }
    }
    memLock_.acquire();
    const bool created = sharedMem_.create(8);
    memLock_.release();
    if (!created) {
        memLock_.acquire();
        if (sharedMem_.isAttached()) {
            sharedMem_.detach();
        }
        memLock_.release();
        return false;
    }
    return true;
}
