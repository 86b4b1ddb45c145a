#pragma once
// Conversion workers: the worker process side (one request on standard input), the interface side
// that starts workers, and the queue that bounds how many run at once.

#include "tts/ttsconverter.h"

#include <QMutex>
#include <QSemaphore>
#include <QString>

#include <cstdint>
#include <functional>
#include <queue>
#include <set>
#include <string>
#include <vector>

class QProcess;
struct LocalVoice;

// The conversion worker: serves one request on standard input; returns the exit status (0 or 1).
int tts_convert_process_server();

// Physical memory of the machine in bytes; 0 when it cannot be read.
int64_t tts_physical_memory();
// One worker per 2 GiB of memory and at most 80 % of the logical processors, at least one.
int tts_threads_for(int64_t memoryBytes, int logicalThreads);
int tts_threads();

// Runs queued conversion tasks, at most max() at a time, on the thread that queues them (it needs a
// running event loop).
class TTSTaskMgr {
public:
    explicit TTSTaskMgr(int max = tts_threads());
    // Drops queued tasks and waits for the running workers; their callbacks are not called any more.
    ~TTSTaskMgr();
    TTSTaskMgr(const TTSTaskMgr&) = delete;
    TTSTaskMgr& operator=(const TTSTaskMgr&) = delete;

    int max() const { return max_; }

    // The worker executable; empty means this program itself.
    void setWorkerProgram(const QString& program) { program_ = program; }
    QString workerProgram() const;

    // While tasks wait, keep one worker started ahead: it loads the program and the inference runtime
    // while the running ones convert, and takes the next request at once. On by default.
    void setPrestart(bool on) { prestart_ = on; }

    // Starts the next queued task when a slot is free.
    void run1();
    // Drops every queued task; running ones still report.
    void clearPending();
    // True when no task is running.
    bool isIdle();

private:
    friend void tts_convert_process_client(TTSTaskMgr&, const LocalVoice&, float,
                                           const std::vector<std::string>&, const std::string&,
                                           TTSDoneCallback);
    void enqueue(std::function<void()> task);
    void releaseSlot();
    void addRunning(QProcess* process);
    void removeRunning(QProcess* process);
    // A started worker for the next task: the one started ahead, or a new one; null with `error`.
    QProcess* takeWorker(QString& error);
    void prestartIfPending();
    void dropSpare();

    const int max_;
    QSemaphore slots_;
    QMutex mutex_;
    std::queue<std::function<void()>> queue_;
    std::set<QProcess*> running_;
    QString program_;
    bool prestart_ = true;
    QProcess* spare_ = nullptr;
};

// Queues one conversion on `mgr` and returns at once; `done` is called exactly once, on the thread
// that runs the task.
void tts_convert_process_client(TTSTaskMgr& mgr, const LocalVoice& voice, float speed,
                                const std::vector<std::string>& sentences, const std::string& wav,
                                TTSDoneCallback done);
