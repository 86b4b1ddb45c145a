#include "audio/audioplayerfile.h"

int64_t AudioPlayerFile::read(unsigned char* dst, int64_t bytes) {
    qint64 got = file_.read(reinterpret_cast<char*>(dst), bytes);
    return got < 0 ? 0 : got;
}
