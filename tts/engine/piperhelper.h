#pragma once
// Speech engine for Piper voices: espeak-ng phonemes, the voice's id map, a VITS model run through
// ONNX Runtime. One instance speaks with one loaded voice.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class PiperHelper {
public:
    struct RunConfig {
        std::filesystem::path modelPath;
        std::filesystem::path modelConfigPath;
        std::optional<int64_t> speakerId;
        std::optional<float> noiseScale;             // unset: the voice's inference.noise_scale
        std::optional<float> lengthScale;            // unset: the voice's inference.length_scale
        std::optional<float> noiseW;                 // unset: the voice's inference.noise_w
        std::optional<float> sentenceSilenceSeconds; // unset: 0
        std::optional<std::filesystem::path> eSpeakDataPath;
        std::optional<std::filesystem::path> tashkeelModelPath; // may be absent: we ship no model
    };
    struct VoiceConf {
        int32_t sampleRate = 22050;
        int32_t sampleWidth = 2;
        int32_t channels = 1;
    };
    using AudioCallback = std::function<void(const std::vector<int16_t>& samples)>;

    PiperHelper();
    ~PiperHelper();
    PiperHelper(const PiperHelper&) = delete;
    PiperHelper& operator=(const PiperHelper&) = delete;

    // False: `error` says why.
    bool load(const RunConfig& config, AudioCallback onAudio);
    // Synthesises the sentence and calls onAudio once with all of its samples.
    bool update(const std::string& sentence);
    const VoiceConf& voiceConf() const { return voiceConf_; }

    std::string error;
    uint32_t sampleCount = 0; // samples delivered so far, at the voice's own rate

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    VoiceConf voiceConf_;
};

// 44-byte canonical PCM WAV header (RIFF/WAVE, fmt chunk 16 bytes format 1, data chunk).
std::string pp_wavheader(int rate, int width, int channels, uint32_t sampleCount);
