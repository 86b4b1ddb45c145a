#pragma once
// Installs generated test voices (tools/voicegen) into a voice store folder: the model, its
// ".onnx.json" and one "speakers/spk-N.json" descriptor per installed speaker. The model speaks a
// tone per phoneme id; its duration follows the length scale and the speaker id shifts its pitch.

#include <string>
#include <vector>

struct TestVoiceSpec {
    std::string uid = "test-voice"; // folder name and descriptor uid
    int sampleRate = 22050;         // audio.sample_rate of the model
    int speakers = 1;               // 1: single-speaker model (no sid input); above 1: takes sid
    std::vector<int> installed;     // speakers that get a descriptor; empty: all of them
    std::string espeakVoice = "en-us";
    std::string phonemeType = "espeak"; // or "text"
    std::string lang = "en_US";         // descriptor keys
    std::string eng = "English";
    std::string native = "English";
    std::string name = "test";
    std::string userName; // empty: "Speaker N"
    int sex = 2;
    int quality = 2;
    double amplitude = 0.5; // peak of the model's float output
    int outputRank = 3;     // output shape [1,T] (2), [1,1,T] (3) or [1,1,1,T] (4)
    bool bench = false;     // the ~60 MB benchmark model with a realistic inference cost
};

// Runs the generator with the given script; false with `err` holding its output on failure.
bool makeTestVoiceWith(const std::string& script, const std::string& voicesDir, const TestVoiceSpec& spec,
                       std::string& err);

#ifdef PARLONA_SOURCE_DIR // defined for test and benchmark programs
// Path of the generator script in the source tree.
inline std::string voicegenScript() {
    return std::string(PARLONA_SOURCE_DIR) + "/tools/voicegen/voicegen.py";
}

// The usual entry point: makes voicesDir/<uid>/ for the spec.
inline bool makeTestVoice(const std::string& voicesDir, const TestVoiceSpec& spec, std::string& err) {
    return makeTestVoiceWith(voicegenScript(), voicesDir, spec, err);
}
#endif
