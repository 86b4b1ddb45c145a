#include "audio/audiodevice.h"

#include <SDL.h>

#include <cstring>

struct AudioDevice::Impl {
    SDL_AudioDeviceID id = 0;
    int rate = 0;
    Render render;

    static void callback(void* userdata, Uint8* stream, int len) {
        auto* self = static_cast<Impl*>(userdata);
        int frames = len / static_cast<int>(2 * sizeof(float));
        if (self->render) {
            self->render(reinterpret_cast<float*>(stream), frames);
        } else {
            std::memset(stream, 0, static_cast<size_t>(len));
        }
    }
};

AudioDevice::AudioDevice() : d_(new Impl) {}

AudioDevice::~AudioDevice() {
    close();
}

bool AudioDevice::open(int requestedRate, int bufferFrames, std::string& error) {
    close();
    // The host application owns signal handling.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        error = SDL_GetError();
        return false;
    }
    SDL_AudioSpec want;
    SDL_zero(want);
    want.freq = requestedRate;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = static_cast<Uint16>(bufferFrames);
    want.callback = &Impl::callback;
    want.userdata = d_.get();
    SDL_AudioSpec have;
    SDL_zero(have);
    // Format and channel count stay as asked (SDL converts); rate and buffer may follow the device.
    d_->id = SDL_OpenAudioDevice(nullptr, 0, &want, &have,
                                 SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_SAMPLES_CHANGE);
    if (d_->id == 0) {
        error = SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    d_->rate = have.freq;
    return true;
}

void AudioDevice::start(Render render) {
    if (d_->id == 0) {
        return;
    }
    SDL_LockAudioDevice(d_->id);
    d_->render = std::move(render);
    SDL_UnlockAudioDevice(d_->id);
    SDL_PauseAudioDevice(d_->id, 0);
}

void AudioDevice::close() {
    if (d_->id == 0) {
        return;
    }
    // Closing waits for the audio thread, so render is not running afterwards.
    SDL_CloseAudioDevice(d_->id);
    d_->id = 0;
    d_->rate = 0;
    d_->render = nullptr;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool AudioDevice::isOpen() const {
    return d_->id != 0;
}

int AudioDevice::sampleRate() const {
    return d_->rate;
}
