#include "tests/tts/engine/enginevoice.h"

#include "common/qt_osdirs.h"
#include "tts/engine/phonemizer.h"
#include "tts/engine/voiceconfig.h"

GeneratedVoice EngineVoices::make(const TestVoiceSpec& spec) {
    if (!makeTestVoice(root(), spec, error)) {
        return {};
    }
    const std::string dir = root() + "/" + spec.uid;
    return {dir, dir + "/" + spec.uid + ".onnx", dir + "/" + spec.uid + ".onnx.json"};
}

PiperHelper::RunConfig runConfigFor(const GeneratedVoice& voice) {
    PiperHelper::RunConfig c;
    c.modelPath = voice.model;
    c.modelConfigPath = voice.config;
    c.eSpeakDataPath = std::filesystem::path(eSpeakDataPath());
    return c;
}

std::vector<int16_t> speak(const PiperHelper::RunConfig& config, const std::string& text, bool& ok,
                           std::string& err, PiperHelper::VoiceConf* conf) {
    std::vector<int16_t> all;
    int blocks = 0;
    PiperHelper engine;
    ok = engine.load(config, [&](const std::vector<int16_t>& s) {
        all.insert(all.end(), s.begin(), s.end());
        ++blocks;
    });
    ok = ok && engine.update(text);
    err = engine.error;
    if (conf) {
        *conf = engine.voiceConf();
    }
    // The engine's count and the delivered audio must agree, in one block per update.
    ok = ok && engine.sampleCount == all.size() && blocks <= 1;
    return all;
}

double zeroCrossingRate(const std::vector<int16_t>& samples) {
    if (samples.size() < 2) {
        return 0.0;
    }
    size_t crossings = 0;
    for (size_t i = 1; i < samples.size(); ++i) {
        crossings += (samples[i - 1] < 0) != (samples[i] < 0);
    }
    return static_cast<double>(crossings) / static_cast<double>(samples.size());
}

size_t idCount(const GeneratedVoice& voice, const std::string& text) {
    VoiceConfig vc;
    std::string err;
    std::vector<std::vector<int64_t>> ids;
    if (!loadVoiceConfig(voice.config, vc, err) ||
        !espeakPrepare(eSpeakDataPath(), vc.phonemes.espeakVoice, err) ||
        !phonemizeToIds(text, vc.phonemes, ids, err) || ids.size() != 1) {
        return 0;
    }
    return ids[0].size();
}
