#include "common/threadutil.h"

#include <QAbstractEventDispatcher>
#include <QTimer>

void postToThread2(std::function<void()> fn, QObject* context, QThread* thread) {
    if (!context) {
        context = QAbstractEventDispatcher::instance(thread);
    } else if (context->thread() != thread) {
        context->moveToThread(thread);
    }
    QObject signalSource;
    if (context) {
        QObject::connect(&signalSource, &QObject::destroyed, context, std::move(fn), Qt::QueuedConnection);
        return;
    }
    // A thread that was just started has no event dispatcher yet: carry the call on a fresh object.
    QObject* carrier = new QObject();
    carrier->moveToThread(thread);
    QObject::connect(
        &signalSource, &QObject::destroyed, carrier,
        [carrier, fn = std::move(fn)]() {
            delete carrier;
            fn();
        },
        Qt::QueuedConnection);
}

PostToThreadHandler::~PostToThreadHandler() {
    reset();
}

QObject* PostToThreadHandler::carrierFor(QThread* thread) {
    if (!carrier_) {
        carrier_ = new QObject();
    }
    if (carrier_->thread() != thread) {
        carrier_->moveToThread(thread);
    }
    return carrier_;
}

void PostToThreadHandler::postToThread(std::function<void()> fn, QThread* thread) {
    QMutexLocker lock(&mutex_);
    postToThread2(std::move(fn), carrierFor(thread), thread);
}

void PostToThreadHandler::postToThreadDelay(std::function<void()> fn, int delayMs, QThread* thread) {
    QMutexLocker lock(&mutex_);
    QObject* carrier = carrierFor(thread);
    if (thread == QThread::currentThread()) {
        QTimer::singleShot(delayMs, carrier, std::move(fn));
        return;
    }
    // Timers must be started in the carrier's own thread.
    postToThread2([carrier, delayMs, fn = std::move(fn)]() { QTimer::singleShot(delayMs, carrier, fn); },
                  carrier, thread);
}

void PostToThreadHandler::reset() {
    QMutexLocker lock(&mutex_);
    if (!carrier_) {
        return;
    }
    if (carrier_->thread() == QThread::currentThread()) {
        delete carrier_;
    } else {
        carrier_->deleteLater();
    }
    carrier_ = nullptr;
}

QueueThread::QueueThread(QObject* parent) : QThread(parent) {}

QueueThread::~QueueThread() {
    if (isRunning()) {
        quit();
        wait();
    }
}

void QueueThread::run(std::function<void()> fn, QObject* context) {
    if (!isRunning()) {
        closing_ = false;
        start(QThread::InheritPriority);
    }
    postToThread2(
        [this, fn = std::move(fn)]() {
            if (fn && !closing_) {
                fn();
            }
        },
        context, this);
}

void QueueThread::close(std::function<void()> fn) {
    if (!isRunning()) {
        if (fn) {
            fn();
        }
        return;
    }
    connect(this, &QThread::finished, this, [this, fn = std::move(fn)]() {
        disconnect(this, nullptr, nullptr, nullptr);
        if (fn) {
            fn();
        }
    });
    closing_ = true;
    quit();
}

void setTimeout(std::function<bool()> callback, int intervalMs) {
    auto* timer = new QTimer();
    timer->setInterval(intervalMs);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, callback = std::move(callback)]() {
        if (!callback()) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

void ServerCanceler::cancel() {
    canceled_.exchange(true);
    std::function<void()> action;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        action = action_;
    }
    if (action) {
        action();
    }
}

void ServerCanceler::setCancelAction(std::function<void()> action) {
    std::lock_guard<std::mutex> lock(mutex_);
    action_.swap(action);
}
