#pragma once
// Posting calls into other threads' event loops, serial worker threads, repeating timers and a
// cancellation token for long requests.

#include <QMutex>
#include <QObject>
#include <QThread>

#include <atomic>
#include <functional>
#include <mutex>

// Runs fn once, later, in the event loop of thread (or of context's thread; context is moved there).
void postToThread2(std::function<void()> fn, QObject* context, QThread* thread);

// Posts calls through a private carrier object; reset() drops every call not yet run.
class PostToThreadHandler {
public:
    PostToThreadHandler() = default;
    PostToThreadHandler(const PostToThreadHandler&) = delete;
    PostToThreadHandler& operator=(const PostToThreadHandler&) = delete;
    virtual ~PostToThreadHandler();

    void postToThread(std::function<void()> fn, QThread* thread);
    void postToThreadDelay(std::function<void()> fn, int delayMs, QThread* thread);
    void reset();

private:
    QObject* carrierFor(QThread* thread);

    QMutex mutex_;
    QObject* carrier_ = nullptr;
};

// A thread that runs posted work items one at a time, in posting order.
class QueueThread : public QThread {
public:
    explicit QueueThread(QObject* parent = nullptr);
    ~QueueThread() override;

    void run(std::function<void()> fn, QObject* context = nullptr);
    // Stops after the running item and then calls fn in the owner's thread; queued items are dropped.
    void close(std::function<void()> fn);

protected:
    using QThread::run;

private:
    // quit() lets the event loop finish the batch of posted items it is in; this stops the rest.
    std::atomic<bool> closing_{false};
};

// Calls callback every intervalMs in the calling thread until it returns false.
void setTimeout(std::function<bool()> callback, int intervalMs);

// Lets another thread stop a running request: the flag for polling, the action for blocking calls.
class ServerCanceler {
public:
    void cancel();
    bool isCanceled() const { return canceled_.load(); }
    // Installs (or, with an empty action, removes) what cancel() calls.
    void setCancelAction(std::function<void()> action);

    std::atomic<bool> canceled_{false};

private:
    std::mutex mutex_;
    std::function<void()> action_;
};
