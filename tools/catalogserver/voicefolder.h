#pragma once
// The voices a catalogue server offers: Piper voices (".onnx" + ".onnx.json") found in a folder,
// described from their configuration and an optional "<uid>.catalog.json" side file.

#include <filesystem>
#include <string>
#include <vector>

struct CatalogSpeaker {
    int spk = 0;
    std::string userName;
    int sex = 0; // 1 male, 2 female, 0 unknown
    std::string sampleText;
};

struct CatalogVoice {
    std::string uid; // the model's file name without ".onnx"
    std::string lang;
    std::string eng;
    std::string native;
    std::string name;
    int quality = 2;
    bool multiSpeaker = false; // the model takes a speaker id
    std::filesystem::path modelPath;
    std::filesystem::path configPath;
    std::vector<CatalogSpeaker> speakers;

    const CatalogSpeaker* speaker(int spk) const;
};

// Finds every voice below folder (sub-folders too, except skip); a uid met twice keeps the first.
// Files that cannot be used are reported in warnings.
std::vector<CatalogVoice> scanVoiceFolder(const std::filesystem::path& folder,
                                          const std::filesystem::path& skip,
                                          std::vector<std::string>& warnings);

// A uid is served only when it is made of letters, digits, ".", "_" and "-" (and is not "." or "..").
bool isServableUid(const std::string& uid);
