#include "tts/engine/piperhelper.h"

#include "tts/engine/ortsession.h"
#include "tts/engine/phonemizer.h"
#include "tts/engine/voiceconfig.h"
#include "tts/engine/wavconvert.h"

#include <algorithm>
#include <cmath>

struct PiperHelper::Impl {
    RunConfig config;
    VoiceConfig voice;
    OrtSession session;
    AudioCallback onAudio;
    bool withSid = false;
    int64_t sid = 0;
    float scales[3] = {};
};

PiperHelper::PiperHelper() = default;
PiperHelper::~PiperHelper() = default;

bool PiperHelper::load(const RunConfig& config, AudioCallback onAudio) {
    impl_.reset();
    error.clear();
    sampleCount = 0;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(config.modelPath, ec)) {
        error = "Voice model not found (" + config.modelPath.string() + ")";
        return false;
    }
    auto impl = std::make_unique<Impl>();
    if (!loadVoiceConfig(config.modelConfigPath, impl->voice, error)) {
        return false;
    }
    const VoiceConfig& v = impl->voice;
    // Voices without phonemes from espeak never touch it, but a data folder given must exist.
    if (config.eSpeakDataPath && !std::filesystem::is_directory(*config.eSpeakDataPath, ec)) {
        error = "espeak-ng data folder not found (" + config.eSpeakDataPath->string() + ")";
        return false;
    }
    if (!v.phonemes.textPhonemes && !espeakPrepare(config.eSpeakDataPath, v.phonemes.espeakVoice, error)) {
        return false;
    }
    if (!impl->session.load(config.modelPath, OrtSession::Options{}, error)) {
        return false;
    }
    for (const char* name : {"input", "input_lengths", "scales"}) {
        if (!impl->session.hasInput(name)) {
            error = std::string("Voice model lacks the input \"") + name + "\" (" +
                    config.modelPath.string() + ")";
            return false;
        }
    }
    impl->withSid = impl->session.hasInput("sid");
    if (impl->withSid) {
        impl->sid = config.speakerId.value_or(0);
        if (impl->sid < 0 || (v.numSpeakers > 1 && impl->sid >= v.numSpeakers)) {
            error = "Speaker " + std::to_string(impl->sid) + " is not in this voice (" +
                    std::to_string(v.numSpeakers) + " speakers)";
            return false;
        }
    }
    impl->scales[0] = config.noiseScale.value_or(v.noiseScale);
    impl->scales[1] = config.lengthScale.value_or(v.lengthScale);
    impl->scales[2] = config.noiseW.value_or(v.noiseW);
    impl->config = config;
    impl->onAudio = std::move(onAudio);
    voiceConf_ = VoiceConf{v.sampleRate, 2, 1};
    impl_ = std::move(impl);
    return true;
}

bool PiperHelper::update(const std::string& sentence) {
    if (!impl_) {
        error = "No voice loaded";
        return false;
    }
    std::vector<std::vector<int64_t>> sentences;
    if (!phonemizeToIds(sentence, impl_->voice.phonemes, sentences, error)) {
        return false;
    }
    const PhonemeConfig& ph = impl_->voice.phonemes;
    const size_t framing = ph.idMap.at(U'^').size() + ph.idMap.at(U'_').size() + ph.idMap.at(U'$').size();
    const float silenceSeconds = std::max(0.0f, impl_->config.sentenceSilenceSeconds.value_or(0.0f));
    const size_t silence = static_cast<size_t>(std::lround(silenceSeconds * voiceConf_.sampleRate));

    std::vector<int16_t> audio;
    for (const std::vector<int64_t>& ids : sentences) {
        if (ids.size() <= framing) {
            continue; // nothing to say: no phoneme the voice knows
        }
        const int64_t n = static_cast<int64_t>(ids.size());
        std::vector<OrtInput> inputs{
            {"input", {1, n}, ids, {}},
            {"input_lengths", {1}, {n}, {}},
            {"scales", {3}, {}, {impl_->scales[0], impl_->scales[1], impl_->scales[2]}},
        };
        if (impl_->withSid) {
            inputs.push_back({"sid", {1}, {impl_->sid}, {}});
        }
        std::vector<float> samples;
        std::vector<int64_t> shape;
        if (!impl_->session.run(inputs, samples, shape, error)) {
            return false;
        }
        if (!isAudioShape(shape)) {
            error = "Voice model output has an unexpected shape";
            return false;
        }
        appendPcm16(samples, audio);
        audio.insert(audio.end(), silence, 0);
    }
    if (audio.empty()) {
        return true;
    }
    sampleCount += static_cast<uint32_t>(audio.size());
    if (impl_->onAudio) {
        impl_->onAudio(audio);
    }
    return true;
}
