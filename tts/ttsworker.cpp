#include "tts/ttsworker.h"

#include <cstdio>

int tts_convert_process_server() {
    std::fputs("The conversion worker is not available in this build.", stderr);
    return 1;
}
