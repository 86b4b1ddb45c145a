#include "tts/ttsworker.h"

#include "common/jsonobject.h"
#include "common/q2str.h"
#include "common/stringformat.h"
#include "tts/workerwarmup.h"
#include "voices/localvoices.h"

#include <QCoreApplication>
#include <QMutexLocker>
#include <QProcess>
#include <QThreadPool>

#include <json-c/json.h>

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#ifdef __APPLE__
#include <sys/sysctl.h>
#include <sys/types.h>
#endif

namespace {

// A sender that stops writing half-way must not keep a worker alive for ever.
constexpr int kBodyTimeoutMs = 30000;
constexpr int kStartTimeoutMs = 1000;

// Reads up to `wanted` bytes from standard input, waiting at most timeoutMs (-1: no limit) for each
// piece; returns what arrived before the end of input, an error or the timeout.
std::string readInput(size_t wanted, int timeoutMs, bool& failed) {
    std::string data;
    char buffer[65536];
    failed = false;
    while (data.size() < wanted) {
        pollfd pfd{STDIN_FILENO, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, timeoutMs);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            failed = true;
            break;
        }
        const ssize_t got = ::read(STDIN_FILENO, buffer, std::min(sizeof(buffer), wanted - data.size()));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            failed = got < 0;
            break;
        }
        data.append(buffer, static_cast<size_t>(got));
    }
    return data;
}

int failWith(const std::string& message) {
    std::fputs(message.c_str(), stderr);
    std::fflush(stderr);
    return 1;
}

std::string requestBody(const LocalVoice& voice, float speed, const std::vector<std::string>& sentences,
                        const std::string& wav) {
    json_object* request = json_object_new_object();
    jsonbuild::addString(request, "voice_uid", voice.uid);
    jsonbuild::addInt(request, "voice_spk", voice.spk);
    jsonbuild::addDouble(request, "srate", speed);
    jsonbuild::addString(request, "wav", wav);
    json_object* list = json_object_new_array();
    for (const std::string& sentence : sentences) {
        json_object_array_add(list,
                              json_object_new_string_len(sentence.data(), static_cast<int>(sentence.size())));
    }
    jsonbuild::add(request, "sentences", list);
    std::string body = jsonbuild::toString(request);
    json_object_put(request);
    return body;
}

double wavSeconds(const std::string& wav) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(std::filesystem::u8path(wav), ec);
    if (ec || size < 44) {
        return 0;
    }
    return static_cast<double>(size - 44) / 2 / 22050.0;
}

} // namespace

int tts_convert_process_server() {
    // A worker started ahead of its request uses the wait; one whose request is already there
    // goes straight on.
    pollfd pending{STDIN_FILENO, POLLIN, 0};
    if (::poll(&pending, 1, 0) == 0) {
        tts_worker_warmup();
    }
    bool failed = false;
    const std::string prefix = readInput(4, -1, failed);
    if (prefix.size() < 4) {
        return failWith("Invalid input(0).");
    }
    uint32_t raw = 0;
    for (int i = 3; i >= 0; --i) {
        raw = (raw << 8) | static_cast<unsigned char>(prefix[static_cast<size_t>(i)]);
    }
    const int32_t length = static_cast<int32_t>(raw);
    if (length < 0) {
        return failWith("Invalid input(1).");
    }
    const std::string body = readInput(static_cast<size_t>(length), kBodyTimeoutMs, failed);
    if (body.size() < static_cast<size_t>(length)) {
        return failWith("Invalid input(1).");
    }
    const JSONObject request = JSONObject::parse(body);
    if (!request.isObject()) {
        return failWith("Invalid input(2).");
    }
    const double speed = request.get("srate").asDouble();
    const std::string wav = request.get("wav").asString();
    std::vector<std::string> sentences;
    const JSONObject list = request.get("sentences");
    for (int i = 0; i < list.size(); ++i) {
        sentences.push_back(list.at(i).asString());
    }
    const std::string uid = request.get("voice_uid").asString();
    const int spk = request.get("voice_spk").asInt();
    LocalVoice voice;
    if (!findLocalVoice(uid, spk, voice)) {
        return failWith(string_format("Invalid voice: %s(%d).", uid.c_str(), spk));
    }
    int status = 1;
    tts_convert(
        voice, static_cast<float>(speed), sentences, wav,
        [&status](bool ok, const std::string& message, double) { status = ok ? 0 : failWith(message); });
    return status;
}

int64_t tts_physical_memory() {
#ifdef __APPLE__
    int64_t bytes = 0;
    size_t size = sizeof(bytes);
    return sysctlbyname("hw.memsize", &bytes, &size, nullptr, 0) == 0 ? bytes : 0;
#else
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGE_SIZE);
    return pages > 0 && pageSize > 0 ? static_cast<int64_t>(pages) * pageSize : 0;
#endif
}

int tts_threads_for(int64_t memoryBytes, int logicalThreads) {
    const int byMemory = static_cast<int>(static_cast<double>(memoryBytes >> 30) * 0.5);
    const int byProcessors = static_cast<int>(logicalThreads * 0.8);
    return std::max(1, std::min(byMemory, byProcessors));
}

int tts_threads() {
    return tts_threads_for(tts_physical_memory(), QThreadPool::globalInstance()->maxThreadCount());
}

TTSTaskMgr::TTSTaskMgr(int max) : max_(std::max(1, max)), slots_(max_) {}

namespace {

QProcess* startWorker(const QString& program) {
    auto* process = new QProcess;
    process->start(program, {QStringLiteral("--convert")}, QIODevice::ReadWrite);
    return process;
}

// An unused worker reads the end of its input and exits; it is deleted once it has.
void releaseWorker(QProcess* process) {
    if (process->state() == QProcess::NotRunning) {
        process->deleteLater();
        return;
    }
    QObject::connect(process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), process,
                     &QObject::deleteLater);
    QObject::connect(process, &QProcess::errorOccurred, process, [process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            process->deleteLater();
        }
    });
    process->closeWriteChannel();
}

} // namespace

TTSTaskMgr::~TTSTaskMgr() {
    std::set<QProcess*> running;
    {
        QMutexLocker lock(&mutex_);
        queue_ = {};
        running.swap(running_);
        if (spare_) {
            running.insert(spare_);
            spare_ = nullptr;
        }
    }
    // The end handlers need this thread's event loop, which cannot run here: wait for the children
    // directly and drop their reports, since their owner is going away.
    for (QProcess* process : running) {
        QObject::disconnect(process, nullptr, nullptr, nullptr);
        process->closeWriteChannel();
        if (!process->waitForFinished(kBodyTimeoutMs)) {
            process->kill();
            process->waitForFinished(kStartTimeoutMs);
        }
        delete process;
    }
}

QString TTSTaskMgr::workerProgram() const {
    return program_.isEmpty() ? QCoreApplication::applicationFilePath() : program_;
}

void TTSTaskMgr::run1() {
    std::function<void()> task;
    {
        QMutexLocker lock(&mutex_);
        if (queue_.empty() || !slots_.tryAcquire()) {
            return;
        }
        task = std::move(queue_.front());
        queue_.pop();
    }
    task();
}

void TTSTaskMgr::clearPending() {
    {
        QMutexLocker lock(&mutex_);
        queue_ = {};
    }
    dropSpare();
}

QProcess* TTSTaskMgr::takeWorker(QString& error) {
    QProcess* process = nullptr;
    {
        QMutexLocker lock(&mutex_);
        std::swap(process, spare_);
    }
    if (process && (process->state() == QProcess::Running || process->waitForStarted(kStartTimeoutMs))) {
        return process;
    }
    if (process) {
        releaseWorker(process);
    }
    process = startWorker(workerProgram());
    if (!process->waitForStarted(kStartTimeoutMs)) {
        error = process->errorString();
        process->kill();
        process->deleteLater();
        return nullptr;
    }
    return process;
}

void TTSTaskMgr::prestartIfPending() {
    if (!prestart_) {
        return;
    }
    QMutexLocker lock(&mutex_);
    if (!spare_ && !queue_.empty()) {
        spare_ = startWorker(workerProgram());
    }
}

void TTSTaskMgr::dropSpare() {
    QProcess* process = nullptr;
    {
        QMutexLocker lock(&mutex_);
        std::swap(process, spare_);
    }
    if (process) {
        releaseWorker(process);
    }
}

bool TTSTaskMgr::isIdle() {
    if (!slots_.tryAcquire(max_)) {
        return false;
    }
    slots_.release(max_);
    return true;
}

void TTSTaskMgr::enqueue(std::function<void()> task) {
    QMutexLocker lock(&mutex_);
    queue_.push(std::move(task));
}

void TTSTaskMgr::releaseSlot() {
    slots_.release();
}

void TTSTaskMgr::addRunning(QProcess* process) {
    QMutexLocker lock(&mutex_);
    running_.insert(process);
}

void TTSTaskMgr::removeRunning(QProcess* process) {
    QMutexLocker lock(&mutex_);
    running_.erase(process);
}

void tts_convert_process_client(TTSTaskMgr& mgr, const LocalVoice& voice, float speed,
                                const std::vector<std::string>& sentences, const std::string& wav,
                                TTSDoneCallback done) {
    TTSTaskMgr* manager = &mgr;
    // The slot is free and the next task started before the caller hears of the result.
    TTSDoneCallback wrapped = [manager, done](bool ok, const std::string& message, double seconds) {
        manager->releaseSlot();
        manager->run1();
        done(ok, message, seconds);
    };
    const std::string body = requestBody(voice, speed, sentences, wav);
    manager->enqueue([manager, body, wav, wrapped]() {
        QString startError;
        QProcess* process = manager->takeWorker(startError);
        if (!process) {
            wrapped(false, q2str(startError), 0);
            return;
        }
        QObject::connect(process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), process,
                         [manager, process, wav, wrapped](int exitCode, QProcess::ExitStatus exitStatus) {
                             manager->removeRunning(process);
                             process->deleteLater();
                             if (exitCode != 0 || exitStatus != QProcess::NormalExit) {
                                 const QByteArray err = process->readAllStandardError();
                                 wrapped(false, std::string(err.constData()), 0);
                                 return;
                             }
                             wrapped(true, "", wavSeconds(wav));
                         });
        manager->addRunning(process);
        const uint32_t length = static_cast<uint32_t>(body.size());
        const char prefix[4] = {static_cast<char>(length & 0xff), static_cast<char>((length >> 8) & 0xff),
                                static_cast<char>((length >> 16) & 0xff),
                                static_cast<char>((length >> 24) & 0xff)};
        process->write(prefix, 4);
        process->write(body.data(), static_cast<qint64>(body.size()));
        // End of input lets a worker that expected more fail at once instead of waiting.
        process->closeWriteChannel();
        manager->prestartIfPending();
    });
    manager->run1();
}
