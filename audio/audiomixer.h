#pragma once
// Voices playing decoded sounds, mixed into interleaved stereo float at the output rate.
// Gains follow the usual game-audio mixer rules: constant-power pan (0 gives 0.7071 per side),
// the voice volume, then round-off soft clipping and a 0.95 post-clip scale so that loud voices
// saturate smoothly instead of wrapping or cracking.

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

struct AudioSound;

class AudioMixer {
public:
    explicit AudioMixer(int outputRate);

    int outputRate() const { return outputRate_; }

    // Starts a voice; a negative volume means the default 1.0. Returns its handle (never 0).
    uint32_t play(std::shared_ptr<const AudioSound> sound, float volume, float pan, bool paused);
    void stop(uint32_t handle);
    void stopAll();
    void setVolume(uint32_t handle, float volume);
    void setPause(uint32_t handle, bool paused);
    // Moves the stream; a position past the end ends the voice at the next mix.
    void seek(uint32_t handle, double seconds);

    bool isValid(uint32_t handle) const;
    bool isPaused(uint32_t handle) const;
    // Position in the sound in seconds, following seeks.
    double streamPosition(uint32_t handle) const;
    // Time the voice has spent playing (not paused), in seconds.
    double streamTime(uint32_t handle) const;
    // Voices that have not ended or been stopped; paused voices count.
    int activeVoiceCount() const;

    // Writes frames of interleaved stereo into out; voices that reach their end are removed.
    void mix(float* out, int frames);

private:
    struct Voice {
        uint32_t handle = 0;
        std::shared_ptr<const AudioSound> sound;
        double pos = 0.0; // in source frames
        double step = 1.0;
        float gainL = 0.0f;
        float gainR = 0.0f;
        float pan = 0.0f;
        bool paused = false;
        double playTime = 0.0;
    };

    Voice* find(uint32_t handle);
    const Voice* find(uint32_t handle) const;
    static void setGains(Voice& v, float volume, float pan);
    bool mixVoice(Voice& v, float* out, int frames);

    const int outputRate_;
    mutable std::mutex mutex_;
    std::vector<Voice> voices_;
    uint32_t nextHandle_ = 1;
};

// The mixer's output curve for one summed sample: round-off clipping and post-clip scale.
float audioRoundoffClip(float v);
