#pragma once
// The default output device, opened for interleaved float stereo; samples are pulled from a render
// callback on the audio back end's own thread.

#include <functional>
#include <memory>
#include <string>

class AudioDevice {
public:
    using Render = std::function<void(float* out, int frames)>;

    AudioDevice();
    ~AudioDevice();
    AudioDevice(const AudioDevice&) = delete;
    AudioDevice& operator=(const AudioDevice&) = delete;

    // Opens the device paused; the rate is the device's own when it cannot take the requested one.
    bool open(int requestedRate, int bufferFrames, std::string& error);
    // Starts pulling from render, which must stay valid until close().
    void start(Render render);
    void close();

    bool isOpen() const;
    int sampleRate() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};
