#pragma once
// A Piper voice's ".onnx.json": audio rate, synthesis scales, speakers and the phoneme settings.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

class JSONObject;

struct PhonemeConfig {
    bool textPhonemes = false; // phoneme_type "text": the text's own code points after NFD
    std::string espeakVoice = "en-us";
    std::map<char32_t, std::u32string> phonemeMap;
    std::map<char32_t, std::vector<int64_t>> idMap;
};

struct VoiceConfig {
    int32_t sampleRate = 22050;
    float noiseScale = 0.667f;
    float lengthScale = 1.0f;
    float noiseW = 0.8f;
    int numSpeakers = 1;
    PhonemeConfig phonemes;
};

// Reads the configuration; false with `err` when it is unreadable, not JSON or lacks a usable
// phoneme_id_map (one code point per key, the "^", "_" and "$" symbols included).
bool loadVoiceConfig(const std::filesystem::path& path, VoiceConfig& out, std::string& err);
bool parseVoiceConfig(const JSONObject& root, VoiceConfig& out, std::string& err);
