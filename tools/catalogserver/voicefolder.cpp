#include "tools/catalogserver/voicefolder.h"

#include "common/jsonobject.h"

#include <algorithm>
#include <map>
#include <set>

namespace fs = std::filesystem;

namespace {

const std::string kModelSuffix = ".onnx";

int qualityFromName(const std::string& name) {
    static const std::map<std::string, int> levels{{"x_low", 0}, {"low", 1}, {"medium", 2}, {"high", 3}};
    const auto it = levels.find(name);
    return it == levels.end() ? 2 : it->second;
}

std::string defaultSampleText(const std::string& lang) {
    static const std::map<std::string, std::string> texts{
        {"de", "Hallo, so klingt meine Stimme."}, {"en", "Hello, this is how my voice sounds."},
        {"es", "Hola, así suena mi voz."},        {"fr", "Bonjour, voici ma voix."},
        {"it", "Ciao, questa è la mia voce."},    {"nl", "Hallo, zo klinkt mijn stem."},
        {"pt", "Olá, esta é a minha voz."},       {"pl", "Cześć, tak brzmi mój głos."},
    };
    const auto it = texts.find(lang.substr(0, 2));
    return it == texts.end() ? texts.at("en") : it->second;
}

std::string textOr(const JSONObject& value, const std::string& fallback) {
    const std::string text = value.asString();
    return text.empty() ? fallback : text;
}

// Side-file members replace what the Piper configuration says (or lacks).
void applySideFile(const JSONObject& side, CatalogVoice& voice) {
    voice.lang = textOr(side.get("lang"), voice.lang);
    voice.eng = textOr(side.get("eng"), voice.eng);
    voice.native = textOr(side.get("native"), voice.native);
    voice.name = textOr(side.get("name"), voice.name);
    if (!side.get("quality").isNull()) {
        voice.quality = side.get("quality").asInt();
    }
    const JSONObject perSpeaker = side.get("speakers");
    for (CatalogSpeaker& s : voice.speakers) {
        const JSONObject own = perSpeaker.get(std::to_string(s.spk));
        for (const JSONObject& source : {side, own}) {
            s.userName = textOr(source.get("user_name"), s.userName);
            s.sampleText = textOr(source.get("sample_text"), s.sampleText);
            if (!source.get("sex").isNull()) {
                s.sex = source.get("sex").asInt();
            }
        }
    }
}

bool readVoice(const fs::path& model, const fs::path& config, CatalogVoice& voice) {
    const JSONObject conf = JSONObject::parseFile(config.string());
    if (!conf.isObject()) {
        return false;
    }
    const std::string file = model.filename().string();
    voice.uid = file.substr(0, file.size() - kModelSuffix.size());
    voice.modelPath = model;
    voice.configPath = config;
    const JSONObject language = conf.get("language");
    voice.lang = textOr(language.get("code"), textOr(conf.get("espeak").get("voice"), "unknown"));
    voice.eng = textOr(language.get("name_english"), voice.lang);
    voice.native = textOr(language.get("name_native"), voice.eng);
    voice.name = textOr(conf.get("dataset"), voice.uid);
    voice.quality = qualityFromName(conf.get("audio").get("quality").asString());

    const int count = std::max(1, conf.get("num_speakers").asInt());
    voice.multiSpeaker = count > 1;
    std::map<int, std::string> names;
    for (const auto& entry : conf.get("speaker_id_map").asMap()) {
        names[entry.second.asInt()] = entry.first;
    }
    for (int spk = 0; spk < count; ++spk) {
        CatalogSpeaker s;
        s.spk = spk;
        const auto it = names.find(spk);
        s.userName =
            it != names.end() ? it->second : (count > 1 ? "Speaker " + std::to_string(spk) : voice.name);
        s.sampleText = defaultSampleText(voice.lang);
        voice.speakers.push_back(s);
    }
    const fs::path side = model.parent_path() / (voice.uid + ".catalog.json");
    std::error_code ec;
    if (fs::exists(side, ec)) {
        applySideFile(JSONObject::parseFile(side.string()), voice);
    }
    return true;
}

} // namespace

const CatalogSpeaker* CatalogVoice::speaker(int spk) const {
    for (const CatalogSpeaker& s : speakers) {
        if (s.spk == spk) {
            return &s;
        }
    }
    return nullptr;
}

bool isServableUid(const std::string& uid) {
    if (uid.empty() || uid == "." || uid == "..") {
        return false;
    }
    return std::all_of(uid.begin(), uid.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
               c == '_' || c == '-';
    });
}

std::vector<CatalogVoice> scanVoiceFolder(const fs::path& folder, const fs::path& skip,
                                          std::vector<std::string>& warnings) {
    std::vector<fs::path> models;
    std::error_code ec;
    fs::recursive_directory_iterator it(folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        if (it->is_directory(ec) && !skip.empty() && fs::equivalent(it->path(), skip, ec)) {
            it.disable_recursion_pending();
            continue;
        }
        const std::string name = it->path().filename().string();
        if (it->is_regular_file(ec) && name.size() > kModelSuffix.size() &&
            name.compare(name.size() - kModelSuffix.size(), kModelSuffix.size(), kModelSuffix) == 0) {
            models.push_back(it->path());
        }
    }
    if (ec) {
        warnings.push_back("cannot read " + folder.string() + ": " + ec.message());
    }
    std::sort(models.begin(), models.end());

    std::vector<CatalogVoice> voices;
    std::set<std::string> seen;
    for (const fs::path& model : models) {
        const fs::path config = model.string() + ".json";
        CatalogVoice voice;
        if (!fs::exists(config, ec) || !readVoice(model, config, voice)) {
            warnings.push_back("skipped " + model.string() + ": no readable .onnx.json beside it");
        } else if (!isServableUid(voice.uid)) {
            warnings.push_back("skipped " + model.string() + ": its name is not a usable uid");
        } else if (!seen.insert(voice.uid).second) {
            warnings.push_back("skipped " + model.string() + ": uid " + voice.uid + " already served");
        } else {
            voices.push_back(std::move(voice));
        }
    }
    return voices;
}
