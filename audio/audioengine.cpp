#include "audio/audioengine.h"

namespace {

constexpr int kDefaultRate = 44100;
constexpr int kBufferFrames = 2048;

} // namespace

AudioEngine::~AudioEngine() {
    device_.close();
}

bool AudioEngine::init(std::string& error) {
    if (!device_.open(kDefaultRate, kBufferFrames, error)) {
        return false;
    }
    mixer_.reset(new AudioMixer(device_.sampleRate()));
    AudioMixer* mixer = mixer_.get();
    device_.start([mixer](float* out, int frames) { mixer->mix(out, frames); });
    return true;
}
