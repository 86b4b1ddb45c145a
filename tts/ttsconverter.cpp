#include "tts/ttsconverter.h"

#include "common/qt_osdirs.h"
#include "common/stringformat.h"
#include "common/tsfsys.h"
#include "tts/engine/piperhelper.h"
#include "tts/pcmresampler.h"
#include "voices/localvoices.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

namespace fs = std::filesystem;

namespace {

constexpr int kRate = 22050;
constexpr long kHeaderBytes = 44;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::string systemError(int err, const std::string& path) {
    return std::strerror(err) + string_format("(%s)", path.c_str());
}

PCMSampleFormat formatForWidth(int bytesPerSample) {
    switch (bytesPerSample) {
    case 1:
        return PCMSampleFormat::U8;
    case 2:
        return PCMSampleFormat::S16;
    case 4:
        return PCMSampleFormat::S32;
    default:
        return PCMSampleFormat::None;
    }
}

void removeQuietly(const std::string& path) {
    std::error_code ec;
    tsfsys::remove(fs::u8path(path), ec);
}

// Writes converted audio after what is already in the file and counts it, so that the header
// describes exactly the samples on disk.
class WavWriter {
public:
    explicit WavWriter(const std::string& path) : path_(path) {
        file_.reset(std::fopen(path.c_str(), "wb"));
        openErrno_ = file_ ? 0 : errno;
        if (file_ && std::fseek(file_.get(), kHeaderBytes, SEEK_SET) != 0) {
            openErrno_ = errno;
            file_.reset();
        }
    }

    // False with `error` set when the bytes could not be written.
    bool write(const uint8_t* data, int samples, std::string& error) {
        if (!file_) {
            error = systemError(openErrno_, path_);
            return false;
        }
        const size_t bytes = static_cast<size_t>(samples) * 2;
        errno = 0;
        if (std::fwrite(data, 1, bytes, file_.get()) != bytes || std::ferror(file_.get())) {
            error = systemError(errno ? errno : EIO, path_);
            return false;
        }
        written_ += static_cast<uint32_t>(samples);
        return true;
    }

    bool finish(std::string& error) {
        if (!file_) {
            error = systemError(openErrno_, path_);
            return false;
        }
        const std::string header = pp_wavheader(kRate, 2, 1, written_);
        errno = 0;
        if (std::fseek(file_.get(), 0, SEEK_SET) != 0 ||
            std::fwrite(header.data(), 1, header.size(), file_.get()) != header.size() ||
            std::fflush(file_.get()) != 0) {
            error = systemError(errno ? errno : EIO, path_);
            return false;
        }
        file_.reset();
        return true;
    }

    uint32_t written() const { return written_; }
    void close() { file_.reset(); }

private:
    std::string path_;
    File file_;
    int openErrno_ = 0;
    uint32_t written_ = 0;
};

} // namespace

std::optional<float> tts_length_scale(float speed) {
    if (std::isnan(speed)) {
        return std::nullopt;
    }
    if (speed == 1.0f) {
        return 1.0f;
    }
    const float diff = 1.0f - speed;
    return static_cast<float>(1.0 + static_cast<double>(diff) * 0.5);
}

void tts_convert(const LocalVoice& voice, float speed, const std::vector<std::string>& sentences,
                 const std::string& wav, const TTSDoneCallback& done) {
    PiperHelper::RunConfig config;
    const std::string espeak = eSpeakDataPath();
    std::error_code ec;
    if (!tsfsys::exists(fs::u8path(espeak), ec)) {
        done(false, "Invalid eSpeakDataPath." + espeak, 0);
        return;
    }
    config.eSpeakDataPath = fs::u8path(espeak);
    // No diacritisation model ships with the product: pass it only when one is present.
    const std::string tashkeel = tashkeelModelPath();
    if (tsfsys::exists(fs::u8path(tashkeel), ec)) {
        config.tashkeelModelPath = fs::u8path(tashkeel);
    }
    config.modelPath = voice.modelPath;
    config.modelConfigPath = voice.configPath;
    config.speakerId = voice.spk;
    config.lengthScale = tts_length_scale(speed);

    PiperHelper engine;
    WavWriter writer(wav);
    PCMResampler resampler;
    bool failed = false;
    std::string message;
    const PCMResampler::Sink sink = [&](const uint8_t* const* planes, int samples) {
        if (!failed && !writer.write(planes[0], samples, message)) {
            failed = true;
        }
    };

    const auto onAudio = [&](const std::vector<int16_t>& samples) {
        if (failed) {
            return;
        }
        if (!resampler.isInitialised()) {
            const PiperHelper::VoiceConf& conf = engine.voiceConf();
            const int width = conf.channels > 0 ? conf.sampleWidth / conf.channels : 0;
            if (!resampler.init(1, formatForWidth(width), conf.sampleRate, false, 1, PCMSampleFormat::S16,
                                kRate, 0)) {
                failed = true;
                message = "Init resampler failed.";
                return;
            }
        }
        if (resampler.update(samples.data(), samples.size() * sizeof(int16_t), sink) && !failed) {
            resampler.final(sink);
            return;
        }
        if (!failed) {
            message = resampler.lastError;
        }
        failed = true;
        message = "Resample failed. " + message;
    };

    const auto fail = [&](const std::string& text) {
        writer.close();
        done(false, text, 0);
        removeQuietly(wav);
    };

    if (!engine.load(config, onAudio)) {
        fail("Load failed. " + engine.error);
        return;
    }
    for (const std::string& sentence : sentences) {
        // An engine failure would otherwise leave the sentence silently out of the file.
        if (!engine.update(sentence) && !failed) {
            failed = true;
            message = engine.error;
        }
        if (failed) {
            fail("Convert sentence failed. " + message);
            return;
        }
    }
    resampler.flush(sink);
    if (failed) {
        fail("Convert sentence failed. " + message);
        return;
    }
    if (!writer.finish(message)) {
        fail(message);
        return;
    }
    done(true, "", writer.written() / static_cast<double>(kRate));
}

bool tts_merge(const std::vector<std::string>& inputs, const std::string& output, double& seconds,
               std::string& error) {
    File out(std::fopen(output.c_str(), "wb"));
    if (!out || std::fseek(out.get(), kHeaderBytes, SEEK_SET) != 0) {
        error = systemError(errno, output);
        return false;
    }
    std::vector<char> buffer(0x40000);
    for (const std::string& input : inputs) {
        File in(std::fopen(input.c_str(), "rb"));
        if (!in || std::fseek(in.get(), kHeaderBytes, SEEK_SET) != 0) {
            error = systemError(errno, input);
            return false;
        }
        for (;;) {
            const size_t got = std::fread(buffer.data(), 1, buffer.size(), in.get());
            if (got > 0 && std::fwrite(buffer.data(), 1, got, out.get()) != got) {
                error = systemError(errno, output);
                return false;
            }
            if (got < buffer.size()) {
                break;
            }
        }
        if (std::ferror(in.get())) {
            error = systemError(errno ? errno : EIO, input);
            return false;
        }
    }
    const long position = std::ftell(out.get());
    if (position < kHeaderBytes) {
        error = systemError(errno ? errno : EIO, output);
        return false;
    }
    const uint32_t samples = static_cast<uint32_t>((position - kHeaderBytes) / 2);
    const std::string header = pp_wavheader(kRate, 2, 1, samples);
    if (std::fseek(out.get(), 0, SEEK_SET) != 0 ||
        std::fwrite(header.data(), 1, header.size(), out.get()) != header.size() ||
        std::fflush(out.get()) != 0) {
        error = systemError(errno, output);
        return false;
    }
    seconds = samples / static_cast<double>(kRate);
    return true;
}
