#pragma once
// Transcript writers for plain text and HTML. Texts are written as stored (UTF-8, no byte-order mark).

#include "project/projecttypes.h"

#include <functional>
#include <string>
#include <vector>

// Gives the project voice of a voice id (an empty record when the id is unknown).
using TTSVoiceLookup = std::function<ProjectVoice(int voiceId)>;

// Escapes the HTML specials; a line feed becomes <br/> and a carriage return is dropped.
std::string htmlEncode(const std::string& text);

// Both return false with the system's error text in error when the file cannot be written.
bool tts_export_text_txt(const std::vector<ProjectSeg>& segs, const TTSVoiceLookup& voiceOf,
                         const std::string& path, bool withSpeaker, std::string& error);
bool tts_export_text_html(const std::vector<ProjectSeg>& segs, const TTSVoiceLookup& voiceOf,
                          const std::string& path, bool withSpeaker, std::string& error);
