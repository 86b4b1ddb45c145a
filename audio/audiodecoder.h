#pragma once
// Decodes a whole WAV, MP3, Ogg Vorbis or FLAC file, recognised by its content, into memory.

#include <atomic>
#include <string>

class AudioFile;
struct AudioSound;

// Fills out from file (read from its current start); more than two channels are mixed down to two.
// Fails with a reason in error for unknown or undecodable content, a file without audio frames, or
// when cancel (may be null) becomes true.
bool decodeAudioFile(AudioFile& file, AudioSound& out, std::string& error,
                     const std::atomic<bool>* cancel = nullptr);
