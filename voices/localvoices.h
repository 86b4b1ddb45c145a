#pragma once
// The store of installed voices below voicesRoot(): one folder per model, one descriptor per speaker.

#include "voices/voicerecord.h"

#include <QMetaType>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// One installed speaker, identified by (uid, spk).
struct LocalVoice : ServerVoice {
    std::filesystem::path dir;
    std::filesystem::path modelPath;
    std::filesystem::path configPath;
    int64_t mtime = 0;
};
Q_DECLARE_METATYPE(LocalVoice)

// Appends every valid installed speaker to `voices`, then sorts the whole list newest first.
void localVoices(std::vector<LocalVoice>& voices);

// True when speaker `spk` of voice `uid` is installed and readable; `voice` is filled only then
// (its `seq` is left as it was).
bool findLocalVoice(const std::string& uid, int spk, LocalVoice& voice);

// True when `dir` holds both a ".onnx" model and its ".onnx.json" configuration.
bool loadVoiceBase(const std::filesystem::path& dir, std::filesystem::path& modelPath,
                   std::filesystem::path& configPath);

// Reads one speaker descriptor into the descriptor members and `mtime`; false when it cannot be read
// or has no uid.
bool loadSpkInfo(const std::filesystem::path& descriptor, LocalVoice& voice);

// Deletes the speaker's descriptor, and the whole voice folder once no speaker is left. False only
// when an existing descriptor could not be deleted.
bool removeLocalVocie(const LocalVoice& voice);
