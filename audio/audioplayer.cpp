#include "audio/audioplayer.h"

#include "audio/audiodecoder.h"
#include "audio/audioengine.h"
#include "audio/audioplayerfile.h"
#include "audio/audiosound.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <atomic>
#include <string>

Q_LOGGING_CATEGORY(lcAudio, "parlona.audio")

namespace {

constexpr float kPlayVolume = 2.0f;
constexpr int kEndPollMs = 500;

} // namespace

// A file being decoded on the worker thread; it becomes the current sound when decoding ends,
// unless a later play or stop has dropped it.
struct AudioPlayer::PendingLoad {
    std::shared_ptr<AudioPlayerFile> file;
    std::shared_ptr<AudioSound> sound = std::make_shared<AudioSound>();
    FinishedFn onFinished;
    std::atomic<bool> canceled{false};
};

AudioPlayer::AudioPlayer() = default;

AudioPlayer::~AudioPlayer() {
    if (loading_) {
        loading_->canceled = true;
    }
    // Waits for a running decode; its result is dropped with the posting context below.
    decoder_.reset();
    loading_.reset();
    onFinished_ = nullptr;
    file_.reset();
    voiceHandle_.reset();
    wav_.reset();
    soloud_.reset();
}

QThread* AudioPlayer::mainThread() const {
    return QCoreApplication::instance()->thread();
}

void AudioPlayer::post(std::function<void()> fn) {
    postToThread(std::move(fn), mainThread());
}

void AudioPlayer::postFinished(const FinishedFn& fn, bool ok, const QString& message) {
    if (fn) {
        post([fn, ok, message]() { fn(ok, message); });
    }
}

void AudioPlayer::play(const QString& path, FinishedFn onFinished, StartFn onStart) {
    post([this, path, onFinished = std::move(onFinished), onStart = std::move(onStart)]() {
        playTask(path, onFinished, onStart);
    });
}

void AudioPlayer::stop() {
    post([this]() { stopTask(std::nullopt); });
}

void AudioPlayer::playTask(const QString& path, const FinishedFn& onFinished, const StartFn& onStart) {
    if (!soloud_) {
        soloud_.reset(new AudioEngine);
        std::string error;
        if (!soloud_->init(error)) {
            qCWarning(lcAudio) << "audio output unavailable:" << error.c_str();
            soloud_.reset();
            postFinished(onFinished, false, QStringLiteral("Player init failed!"));
            return;
        }
    }
    stopCurrent(false);
    if (onStart) {
        post(onStart);
    }
    file_.reset();
    auto file = std::make_shared<AudioPlayerFile>();
    file->setFileName(path);
    if (!file->open()) {
        postFinished(onFinished, false, QStringLiteral("Can not open WAV File!") + file->errorString());
        return;
    }
    auto load = std::make_shared<PendingLoad>();
    load->file = file;
    load->onFinished = onFinished;
    loading_ = load;
    if (!decoder_) {
        decoder_.reset(new QueueThread);
    }
    decoder_->run([this, load]() {
        std::string error;
        bool ok = decodeAudioFile(*load->file, *load->sound, error, &load->canceled);
        if (!ok && !load->canceled) {
            qCInfo(lcAudio) << "can not decode:" << error.c_str();
        }
        post([this, load, ok]() { finishLoad(load, ok); });
    });
}

void AudioPlayer::finishLoad(const std::shared_ptr<PendingLoad>& load, bool ok) {
    if (load != loading_) {
        return; // stopped or replaced while decoding; its callback was already told
    }
    loading_.reset();
    if (!ok) {
        postFinished(load->onFinished, false, QStringLiteral("Can not open WAV File!"));
        return;
    }
    file_ = load->file;
    wav_ = load->sound;
    // Started at the player volume directly, so no block is ever mixed at the default volume.
    voiceHandle_ = soloud_->mixer().play(wav_, kPlayVolume, 0.0f, false);
    onFinished_ = load->onFinished;
    uint64_t serial = ++soundSerial_;
    post([this, serial]() { pollTask(serial); });
}

bool AudioPlayer::stopCurrent(bool closeFile) {
    if (loading_) {
        loading_->canceled = true;
        postFinished(loading_->onFinished, true, QString());
        loading_.reset();
        return true;
    }
    if (!voiceHandle_) {
        return false;
    }
    soloud_->mixer().stop(*voiceHandle_);
    voiceHandle_.reset();
    wav_.reset();
    if (closeFile && file_) {
        file_->close();
        file_.reset();
    }
    postFinished(onFinished_, true, QString());
    return true;
}

void AudioPlayer::stopTask(std::optional<uint64_t> serial) {
    if (serial && (!voiceHandle_ || *serial != soundSerial_)) {
        return;
    }
    stopCurrent(true);
}

void AudioPlayer::pollTask(uint64_t serial) {
    if (!soloud_ || !voiceHandle_ || serial != soundSerial_) {
        return;
    }
    if (soloud_->mixer().activeVoiceCount() > 0) {
        postToThreadDelay([this, serial]() { pollTask(serial); }, kEndPollMs, mainThread());
        return;
    }
    post([this, serial]() { stopTask(serial); });
}

void AudioPlayer::checkEnd() {
    uint64_t serial = soundSerial_;
    post([this, serial]() { pollTask(serial); });
}

double AudioPlayer::currentSeconds() const {
    return soloud_ && voiceHandle_ ? soloud_->mixer().streamPosition(*voiceHandle_) : 0.0;
}

double AudioPlayer::currentTime() const {
    return soloud_ && voiceHandle_ ? soloud_->mixer().streamTime(*voiceHandle_) : 0.0;
}

void AudioPlayer::seekSeconds(int32_t seconds) {
    if (soloud_ && voiceHandle_) {
        soloud_->mixer().seek(*voiceHandle_, seconds);
    }
}

void AudioPlayer::setPause(bool paused) {
    if (soloud_ && voiceHandle_) {
        soloud_->mixer().setPause(*voiceHandle_, paused);
    }
}
