#include "audio/audiomixer.h"

#include "audio/audiosound.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kPostClipScale = 0.95f;
constexpr double kQuarterPi = 0.78539816339744830962;

} // namespace

float audioRoundoffClip(float v) {
    float c;
    if (v <= -1.65f) {
        c = -0.9862875f;
    } else if (v >= 1.65f) {
        c = 0.9862875f;
    } else {
        c = 0.87f * v - 0.1f * v * v * v;
    }
    return c * kPostClipScale;
}

AudioMixer::AudioMixer(int outputRate) : outputRate_(outputRate > 0 ? outputRate : 44100) {}

void AudioMixer::setGains(Voice& v, float volume, float pan) {
    pan = std::clamp(pan, -1.0f, 1.0f);
    v.pan = pan;
    v.gainL = volume * static_cast<float>(std::cos((pan + 1.0) * kQuarterPi));
    v.gainR = volume * static_cast<float>(std::sin((pan + 1.0) * kQuarterPi));
}

uint32_t AudioMixer::play(std::shared_ptr<const AudioSound> sound, float volume, float pan, bool paused) {
    Voice v;
    v.sound = std::move(sound);
    v.step =
        v.sound && v.sound->sampleRate > 0 ? static_cast<double>(v.sound->sampleRate) / outputRate_ : 1.0;
    v.paused = paused;
    setGains(v, volume < 0 ? 1.0f : volume, pan);
    std::lock_guard<std::mutex> lock(mutex_);
    v.handle = nextHandle_++;
    if (nextHandle_ == 0) {
        nextHandle_ = 1;
    }
    voices_.push_back(std::move(v));
    return voices_.back().handle;
}

AudioMixer::Voice* AudioMixer::find(uint32_t handle) {
    for (Voice& v : voices_) {
        if (v.handle == handle) {
            return &v;
        }
    }
    return nullptr;
}

const AudioMixer::Voice* AudioMixer::find(uint32_t handle) const {
    return const_cast<AudioMixer*>(this)->find(handle);
}

void AudioMixer::stop(uint32_t handle) {
    std::shared_ptr<const AudioSound> released;
    std::lock_guard<std::mutex> lock(mutex_);
    auto it =
        std::find_if(voices_.begin(), voices_.end(), [handle](const Voice& v) { return v.handle == handle; });
    if (it != voices_.end()) {
        released = std::move(it->sound);
        voices_.erase(it);
    }
}

void AudioMixer::stopAll() {
    std::vector<Voice> released;
    std::lock_guard<std::mutex> lock(mutex_);
    released.swap(voices_);
}

void AudioMixer::setVolume(uint32_t handle, float volume) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (Voice* v = find(handle)) {
        setGains(*v, volume, v->pan);
    }
}

void AudioMixer::setPause(uint32_t handle, bool paused) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (Voice* v = find(handle)) {
        v->paused = paused;
    }
}

void AudioMixer::seek(uint32_t handle, double seconds) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (Voice* v = find(handle)) {
        v->pos = std::max(0.0, seconds) * v->sound->sampleRate;
    }
}

bool AudioMixer::isValid(uint32_t handle) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return find(handle) != nullptr;
}

bool AudioMixer::isPaused(uint32_t handle) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const Voice* v = find(handle);
    return v && v->paused;
}

double AudioMixer::streamPosition(uint32_t handle) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const Voice* v = find(handle);
    return v ? v->pos / v->sound->sampleRate : 0.0;
}

double AudioMixer::streamTime(uint32_t handle) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const Voice* v = find(handle);
    return v ? v->playTime : 0.0;
}

int AudioMixer::activeVoiceCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(voices_.size());
}

// Adds one voice into out; returns false when the voice has reached its end.
bool AudioMixer::mixVoice(Voice& v, float* out, int frames) {
    const AudioSound& s = *v.sound;
    const int64_t total = s.frames();
    const float* data = s.samples.data();
    int i = 0;
    for (; i < frames; ++i) {
        if (v.pos >= static_cast<double>(total)) {
            break;
        }
        int64_t at = static_cast<int64_t>(v.pos);
        float frac = static_cast<float>(v.pos - static_cast<double>(at));
        int64_t next = at + 1 < total ? at + 1 : at;
        if (s.channels == 1) {
            float x = data[at] + (data[next] - data[at]) * frac;
            out[2 * i] += x * v.gainL;
            out[2 * i + 1] += x * v.gainR;
        } else {
            const float* a = data + 2 * at;
            const float* b = data + 2 * next;
            out[2 * i] += (a[0] + (b[0] - a[0]) * frac) * v.gainL;
            out[2 * i + 1] += (a[1] + (b[1] - a[1]) * frac) * v.gainR;
        }
        v.pos += v.step;
    }
    v.playTime += static_cast<double>(i) / outputRate_;
    return v.pos < static_cast<double>(total);
}

void AudioMixer::mix(float* out, int frames) {
    std::fill(out, out + 2 * static_cast<size_t>(frames), 0.0f);
    std::vector<std::shared_ptr<const AudioSound>> ended;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = voices_.begin(); it != voices_.end();) {
            if (it->paused || mixVoice(*it, out, frames)) {
                ++it;
                continue;
            }
            ended.push_back(std::move(it->sound));
            it = voices_.erase(it);
        }
    }
    for (int i = 0; i < 2 * frames; ++i) {
        out[i] = audioRoundoffClip(out[i]);
    }
}
