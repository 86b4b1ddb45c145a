#pragma once
// Converts one audio file into another format with the FFmpeg libraries; the container and encoder
// follow the target's extension (.mp3: MP3 via LAME, .aac: AAC in ADTS).

#include <string>

// Returns 0 on success, non-zero on failure; the reason is reported through av_log.
int transcodeAudio(const std::string& source, const std::string& target, int channels, int sampleRate);
