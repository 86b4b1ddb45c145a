#include "tts/engine/voiceconfig.h"

#include "common/jsonobject.h"
#include "tts/engine/utf8.h"

#include <json-c/json.h>

#include <algorithm>

namespace {

// Keys are single phonemes; a key of several code points cannot match one and is skipped.
bool singleCodePoint(const std::string& key, char32_t& cp) {
    const std::u32string s = utf8ToU32(key);
    if (s.size() != 1) {
        return false;
    }
    cp = s[0];
    return true;
}

float scaleOr(const JSONObject& inference, const char* name, float fallback) {
    const JSONObject v = inference.get(name);
    if (v.isNull()) {
        return fallback;
    }
    const json_type t = json_object_get_type(v.value());
    return (t == json_type_double || t == json_type_int) ? static_cast<float>(v.asDouble()) : fallback;
}

} // namespace

bool parseVoiceConfig(const JSONObject& root, VoiceConfig& out, std::string& err) {
    out = VoiceConfig{};
    if (!root.isObject()) {
        err = "voice configuration is not a JSON object";
        return false;
    }
    const int rate = root.get("audio").get("sample_rate").asInt();
    if (rate > 0) {
        out.sampleRate = rate;
    }
    const JSONObject inference = root.get("inference");
    out.noiseScale = scaleOr(inference, "noise_scale", out.noiseScale);
    out.lengthScale = scaleOr(inference, "length_scale", out.lengthScale);
    out.noiseW = scaleOr(inference, "noise_w", out.noiseW);
    out.numSpeakers = std::max(1, root.get("num_speakers").asInt());

    PhonemeConfig& ph = out.phonemes;
    const std::string voice = root.get("espeak").get("voice").asString();
    if (!voice.empty()) {
        ph.espeakVoice = voice;
    }
    const std::string type = root.get("phoneme_type").asString();
    ph.textPhonemes = type == "text";
    if (!type.empty() && type != "text" && type != "espeak") {
        err = "unsupported phoneme_type \"" + type + "\"";
        return false;
    }
    for (const auto& [key, value] : root.get("phoneme_map").asMap()) {
        char32_t cp = 0;
        if (!singleCodePoint(key, cp)) {
            continue;
        }
        std::u32string to;
        for (int i = 0; i < value.size(); ++i) {
            to += utf8ToU32(value.at(i).asString());
        }
        ph.phonemeMap[cp] = to;
    }
    for (const auto& [key, value] : root.get("phoneme_id_map").asMap()) {
        char32_t cp = 0;
        if (!singleCodePoint(key, cp) || !value.isArray()) {
            continue;
        }
        std::vector<int64_t>& ids = ph.idMap[cp];
        for (int i = 0; i < value.size(); ++i) {
            ids.push_back(value.at(i).asInt64());
        }
    }
    for (char32_t symbol : {U'^', U'_', U'$'}) {
        const auto it = ph.idMap.find(symbol);
        if (it == ph.idMap.end() || it->second.empty()) {
            err = "voice configuration has no usable phoneme_id_map";
            return false;
        }
    }
    return true;
}

bool loadVoiceConfig(const std::filesystem::path& path, VoiceConfig& out, std::string& err) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        err = "voice configuration not found (" + path.string() + ")";
        return false;
    }
    const JSONObject root = JSONObject::parseFile(path.string());
    if (root.isNull()) {
        err = "voice configuration is unreadable or not valid JSON (" + path.string() + ")";
        return false;
    }
    if (!parseVoiceConfig(root, out, err)) {
        err += " (" + path.string() + ")";
        return false;
    }
    return true;
}
