#include "tests/tts/wavtestutil.h"

#include "tts/engine/piperhelper.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace {

uint32_t le(const std::string& b, size_t at, int width) {
    uint32_t v = 0;
    for (int i = width - 1; i >= 0; --i) {
        v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<size_t>(i)]);
    }
    return v;
}

} // namespace

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

WavFile readWav(const std::string& path) {
    WavFile wav;
    const std::string b = readBytes(path);
    wav.fileBytes = b.size();
    if (b.size() < 44 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 8, "WAVEfmt ") != 0 ||
        le(b, 16, 4) != 16 || le(b, 20, 2) != 1 || b.compare(36, 4, "data") != 0) {
        return wav;
    }
    wav.riffSize = le(b, 4, 4);
    wav.channels = static_cast<uint16_t>(le(b, 22, 2));
    wav.rate = le(b, 24, 4);
    wav.bits = static_cast<uint16_t>(le(b, 34, 2));
    wav.dataBytes = le(b, 40, 4);
    wav.samples.resize((b.size() - 44) / 2);
    if (!wav.samples.empty()) {
        std::memcpy(wav.samples.data(), b.data() + 44, wav.samples.size() * 2);
    }
    wav.ok = true;
    return wav;
}

void writeWav(const std::string& path, const std::vector<int16_t>& samples) {
    std::string b = pp_wavheader(22050, 2, 1, static_cast<uint32_t>(samples.size()));
    b.append(reinterpret_cast<const char*>(samples.data()), samples.size() * 2);
    std::ofstream(path, std::ios::binary) << b;
}
