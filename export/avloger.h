#pragma once
// Captures FFmpeg's av_log output per thread, so a failed conversion can report what FFmpeg said.

#include <string>

class AVLoger {
public:
    // The calling thread's log text, and the number of trailing characters it keeps.
    static thread_local std::string tdbuf;
    static thread_local int tdbufsize;

    // Routes every av_log message of the process through the capture (process-wide).
    static void registerCallback();
    // Gives av_log back to FFmpeg's default logger.
    static void unregisterCallback();
};
