#include "tools/catalogserver/samplemaker.h"

#include "tts/engine/piperhelper.h"

#include <fstream>
#include <vector>

namespace fs = std::filesystem;

bool makeVoiceSample(const CatalogVoice& voice, const CatalogSpeaker& speaker, const fs::path& out,
                     const fs::path& espeakData, std::string& err) {
    PiperHelper piper;
    PiperHelper::RunConfig config;
    config.modelPath = voice.modelPath;
    config.modelConfigPath = voice.configPath;
    if (voice.multiSpeaker) {
        config.speakerId = speaker.spk;
    }
    config.eSpeakDataPath = espeakData;
    std::vector<int16_t> samples;
    const bool loaded = piper.load(config, [&samples](const std::vector<int16_t>& block) {
        samples.insert(samples.end(), block.begin(), block.end());
    });
    if (!loaded || !piper.update(speaker.sampleText)) {
        err = piper.error;
        return false;
    }
    const PiperHelper::VoiceConf& conf = piper.voiceConf();
    std::error_code ec;
    fs::create_directories(out.parent_path(), ec);
    const fs::path tmp = out.string() + ".tmp";
    {
        std::ofstream file(tmp, std::ios::binary | std::ios::trunc);
        file << pp_wavheader(conf.sampleRate, conf.sampleWidth, conf.channels,
                             static_cast<uint32_t>(samples.size()));
        file.write(reinterpret_cast<const char*>(samples.data()),
                   static_cast<std::streamsize>(samples.size() * sizeof(int16_t)));
        if (!file) {
            err = "cannot write " + tmp.string();
            return false;
        }
    }
    fs::rename(tmp, out, ec);
    if (ec) {
        err = "cannot store " + out.string() + ": " + ec.message();
        return false;
    }
    return true;
}
