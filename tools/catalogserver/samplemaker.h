#pragma once
// Speaker samples made with our own engine when the voice folder has none.

#include "tools/catalogserver/voicefolder.h"

#include <filesystem>
#include <string>

// Synthesises the speaker's sample text into a WAV file at out (written through out + ".tmp").
bool makeVoiceSample(const CatalogVoice& voice, const CatalogSpeaker& speaker,
                     const std::filesystem::path& out, const std::filesystem::path& espeakData,
                     std::string& err);
