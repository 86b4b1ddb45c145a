#pragma once
// One playback engine: an output device fed by its own mixer. The device is opened by init() and
// closed by the destructor.

#include "audio/audiodevice.h"
#include "audio/audiomixer.h"

#include <memory>
#include <string>

class AudioEngine {
public:
    AudioEngine() = default;
    ~AudioEngine();
    AudioEngine(const AudioEngine&) = delete;
    AudioEngine& operator=(const AudioEngine&) = delete;

    // Opens the default device (44100 Hz stereo where the device allows); false with the reason.
    bool init(std::string& error);

    // Valid after a successful init().
    AudioMixer& mixer() { return *mixer_; }
    const AudioMixer& mixer() const { return *mixer_; }

private:
    AudioDevice device_;
    std::unique_ptr<AudioMixer> mixer_;
};
