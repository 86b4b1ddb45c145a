#pragma once
// Sentence synthesis into one WAV file of the system format (22050 Hz, mono, signed 16-bit), and the
// joining of such files.

#include <functional>
#include <optional>
#include <string>
#include <vector>

struct LocalVoice;

// (ok, message, seconds): (true, "", duration) on success, (false, why, 0) on failure.
using TTSDoneCallback = std::function<void(bool ok, const std::string& message, double seconds)>;

// Synthesises the sentences in order into `wav`; calls done exactly once before returning. The file
// is removed on every failure that happens after it was created.
void tts_convert(const LocalVoice& voice, float speed, const std::vector<std::string>& sentences,
                 const std::string& wav, const TTSDoneCallback& done);

// The engine's length scale for a speaking speed; none when the speed is not a number.
std::optional<float> tts_length_scale(float speed);

// Concatenates the audio of system-format WAV files into `output`. On failure `error` names the file.
bool tts_merge(const std::vector<std::string>& inputs, const std::string& output, double& seconds,
               std::string& error);
