#pragma once
// Generated voices for the engine tests, in a temporary store that lives as long as the object.

#include "tests/support/testvoices.h"
#include "tts/engine/piperhelper.h"

#include <QTemporaryDir>

#include <string>
#include <vector>

struct GeneratedVoice {
    std::string dir;
    std::string model;
    std::string config;
};

class EngineVoices {
public:
    // Generates the voice; on failure `error` says why and the paths are empty.
    GeneratedVoice make(const TestVoiceSpec& spec);
    std::string root() const { return dir_.path().toStdString(); }
    std::string error;

private:
    QTemporaryDir dir_;
};

// A run configuration for a generated voice with the build's espeak-ng data.
PiperHelper::RunConfig runConfigFor(const GeneratedVoice& voice);

// Loads the voice, speaks `text` and returns the delivered samples; `ok` false when any step failed
// (the engine's error is then in `err`).
std::vector<int16_t> speak(const PiperHelper::RunConfig& config, const std::string& text, bool& ok,
                           std::string& err, PiperHelper::VoiceConf* conf = nullptr);

// Crossings of zero per sample: follows the pitch of a tone.
double zeroCrossingRate(const std::vector<int16_t>& samples);

// Number of model ids the reference map gives `text` with this voice's phonemes (one sentence).
size_t idCount(const GeneratedVoice& voice, const std::string& text);
