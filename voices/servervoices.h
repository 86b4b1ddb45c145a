#pragma once
// The online voice catalogue: languages, voices per language, speaker samples, and installing a
// speaker's voice package into the local store.

#include "voices/voicerecord.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class ServerCanceler;

// One language of the catalogue; seq counts from 1 in server order.
struct ServerVoiceLang {
    int32_t seq = 0;
    std::string lang;
    std::string name;
    std::string native;
};

using InstallProgress = std::function<void(int percent, const std::string& text)>;

bool serverVoiceLangs(std::vector<ServerVoiceLang>& out, std::string& err);
bool serverVoices(const std::string& lang, std::vector<ServerVoice>& out, std::string& err);

// A uid names one folder of the voice store: not empty, not "." or "..", no separator or NUL.
bool isSafeVoiceUid(const std::string& uid);

// Where the sample of (uid, spk) is cached; does not touch the disk.
std::string voiceSamplePath(const std::string& uid, int spk);
// The cached sample, fetched first when missing; "" when it could not be fetched.
std::string downloadServerVoiceSample(const std::string& uid, int spk, std::string& err,
                                      ServerCanceler* canceler);

// Downloads (unless present), unpacks (unless installed) and describes one speaker.
bool installServerVoice(const ServerVoice& voice, std::string& err, const InstallProgress& progress,
                        ServerCanceler* canceler);
// Installs a ".pnvoice" package file: the model (unless present) and the header's speaker.
bool importServerVoice(const std::string& package, std::string& err, const InstallProgress& progress,
                       ServerCanceler* canceler);
// Writes a speaker descriptor through a ".tmp" sibling; an existing descriptor is kept.
bool saveSpkConf(const std::string& path, const std::string& text, std::string& err);
