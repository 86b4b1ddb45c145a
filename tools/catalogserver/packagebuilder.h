#pragma once
// Voice packages as the installer reads them: a 4-byte little-endian header length, the speaker's
// descriptor as JSON, then a zip of the voice folder "<uid>/".

#include "tools/catalogserver/voicefolder.h"

#include <cstdint>
#include <filesystem>
#include <string>

struct SpeakerStats {
    int downloaded = 0;
    int clicked = 0;
};

// The zip of the voice's model and configuration, made once into archiveDir and reused.
// Returns its path, or an empty path with err set.
std::filesystem::path buildVoiceArchive(const CatalogVoice& voice, const std::filesystem::path& archiveDir,
                                        std::string& err);

// The JSON header of one speaker's package (the descriptor the installer stores).
std::string packageHeader(const CatalogVoice& voice, const CatalogSpeaker& speaker,
                          const SpeakerStats& stats);

// The 4 length bytes followed by the header.
std::string packagePrefix(const std::string& header);
