#pragma once
// Plays one sound file at a time. play() and stop() only post work to the application's main thread;
// every callback arrives later on that thread, in the order the work ran. The end of a sound is
// found by polling every 500 ms. Files are decoded completely into memory on a worker thread, so a
// long file does not hold up the interface.

#include "common/threadutil.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class AudioEngine;
class AudioPlayerFile;
struct AudioSound;

class AudioPlayer : public PostToThreadHandler {
public:
    // ok false: the message says why nothing plays. ok true: the sound ended, was stopped or replaced.
    using FinishedFn = std::function<void(bool ok, const QString& message)>;
    using StartFn = std::function<void()>;

    AudioPlayer();
    ~AudioPlayer() override;

    // Stops the current sound (its callback gets true) and starts path; either callback may be empty.
    void play(const QString& path, FinishedFn onFinished, StartFn onStart);
    void stop();

    // The queries and controls act at once; call them on the main thread. Without a current sound
    // they do nothing and the queries give 0.
    double currentSeconds() const; // stream position, following seeks
    double currentTime() const;    // time spent playing
    void seekSeconds(int32_t seconds);
    void setPause(bool paused);

    // Starts one round of end polling for the current sound.
    void checkEnd();

private:
    struct PendingLoad;

    QThread* mainThread() const;
    void post(std::function<void()> fn);
    void postFinished(const FinishedFn& fn, bool ok, const QString& message);
    void playTask(const QString& path, const FinishedFn& onFinished, const StartFn& onStart);
    void finishLoad(const std::shared_ptr<PendingLoad>& load, bool ok);
    // Ends the current sound or pending load and tells its callback; false when there was none.
    bool stopCurrent(bool closeFile);
    void stopTask(std::optional<uint64_t> serial);
    void pollTask(uint64_t serial);

    std::unique_ptr<AudioEngine> soloud_;
    std::optional<uint32_t> voiceHandle_;
    std::shared_ptr<AudioSound> wav_;
    std::shared_ptr<AudioPlayerFile> file_;
    FinishedFn onFinished_;
    std::shared_ptr<PendingLoad> loading_;
    // Identifies the current sound, so that an end found for one sound never stops the next.
    uint64_t soundSerial_ = 0;
    std::unique_ptr<QueueThread> decoder_;
};
