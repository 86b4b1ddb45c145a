#include "export/avloger.h"

extern "C" {
#include <libavutil/log.h>
}

#include <cstdarg>
#include <cstdio>
#include <vector>

thread_local std::string AVLoger::tdbuf;
thread_local int AVLoger::tdbufsize = 65536;

namespace {

void logCallback(void* /*avcl*/, int level, const char* fmt, va_list vl) {
    if (av_log_get_level() < level) {
        return;
    }
    va_list sizing;
    va_copy(sizing, vl);
    const int size = std::vsnprintf(nullptr, 0, fmt, sizing);
    va_end(sizing);
    if (size <= 0) {
        return;
    }
    std::vector<char> text(static_cast<size_t>(size) + 1);
    std::vsnprintf(text.data(), text.size(), fmt, vl);
    std::printf("%s", text.data());

    std::string& buf = AVLoger::tdbuf;
    buf.append(text.data(), static_cast<size_t>(size));
    const size_t limit = static_cast<size_t>(AVLoger::tdbufsize);
    if (buf.size() > limit) {
        buf.erase(0, buf.size() - limit);
    }
}

} // namespace

void AVLoger::registerCallback() {
    av_log_set_callback(logCallback);
}

void AVLoger::unregisterCallback() {
    av_log_set_callback(av_log_default_callback);
}
