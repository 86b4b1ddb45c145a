#pragma once
// The in-process FFmpeg command used by the audio export. It understands exactly one command line:
//   -vn -i <source> -ac <channels> -ar <rate> -y <target>
// and refuses anything else with a logged error.

#include <string>
#include <vector>

// Runs the command given without the program name. When log is given, FFmpeg's messages of this
// thread are captured into it (AVLoger) while they are also printed. Returns 0 on success.
int ffmpeg_main(std::vector<std::string> args, std::string* log);
