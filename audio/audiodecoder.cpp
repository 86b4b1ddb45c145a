#include "audio/audiodecoder.h"

#include "audio/audiofile.h"
#include "audio/audiosound.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

constexpr int kIoBufferSize = 64 * 1024;

std::string avError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {0};
    av_strerror(code, text, sizeof(text));
    return text;
}

int readPacket(void* opaque, uint8_t* buf, int size) {
    auto* file = static_cast<AudioFile*>(opaque);
    int64_t got = file->read(buf, size);
    if (got <= 0) {
        return AVERROR_EOF;
    }
    return static_cast<int>(got);
}

int64_t seekFile(void* opaque, int64_t offset, int whence) {
    auto* file = static_cast<AudioFile*>(opaque);
    int64_t target = 0;
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
        return file->length();
    case SEEK_SET:
        target = offset;
        break;
    case SEEK_CUR:
        target = file->pos() + offset;
        break;
    case SEEK_END:
        target = file->length() + offset;
        break;
    default:
        return -1;
    }
    if (target < 0 || !file->seek(target)) {
        return -1;
    }
    return target;
}

// Containers and codecs the player accepts; the probe would otherwise take almost anything.
bool acceptedFormat(const char* container, AVCodecID codec) {
    if (std::strcmp(container, "wav") == 0 || std::strcmp(container, "flac") == 0) {
        return true;
    }
    if (std::strcmp(container, "mp3") == 0) {
        return codec == AV_CODEC_ID_MP3 || codec == AV_CODEC_ID_MP2 || codec == AV_CODEC_ID_MP1;
    }
    if (std::strcmp(container, "ogg") == 0) {
        return codec == AV_CODEC_ID_VORBIS;
    }
    return false;
}

struct IoDeleter {
    void operator()(AVIOContext* io) const {
        if (io) {
            av_freep(&io->buffer);
            avio_context_free(&io);
        }
    }
};
struct FormatDeleter {
    void operator()(AVFormatContext* ctx) const { avformat_close_input(&ctx); }
};
struct CodecDeleter {
    void operator()(AVCodecContext* ctx) const { avcodec_free_context(&ctx); }
};
struct SwrDeleter {
    void operator()(SwrContext* ctx) const { swr_free(&ctx); }
};
struct PacketDeleter {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FrameDeleter {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};

class Decoder {
public:
    Decoder(AudioFile& file, AudioSound& out, const std::atomic<bool>* cancel)
        : file_(file), out_(out), cancel_(cancel) {}

    bool run(std::string& error);

private:
    bool open(std::string& error);
    bool setupResampler(std::string& error);
    bool drainFrames(std::string& error);
    bool appendFrame(const AVFrame* frame, std::string& error);
    bool convert(const uint8_t** src, int inFrames, std::string& error);
    bool canceled() const { return cancel_ && cancel_->load(); }

    AudioFile& file_;
    AudioSound& out_;
    const std::atomic<bool>* cancel_;
    std::unique_ptr<AVIOContext, IoDeleter> io_;
    std::unique_ptr<AVFormatContext, FormatDeleter> format_;
    std::unique_ptr<AVCodecContext, CodecDeleter> codec_;
    std::unique_ptr<SwrContext, SwrDeleter> swr_;
    std::unique_ptr<AVFrame, FrameDeleter> frame_;
    int stream_ = -1;
};

bool Decoder::open(std::string& error) {
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
    if (!buffer) {
        error = "Out of memory";
        return false;
    }
    io_.reset(avio_alloc_context(buffer, kIoBufferSize, 0, &file_, readPacket, nullptr, seekFile));
    if (!io_) {
        av_free(buffer);
        error = "Out of memory";
        return false;
    }
    AVFormatContext* ctx = avformat_alloc_context();
    if (!ctx) {
        error = "Out of memory";
        return false;
    }
    ctx->pb = io_.get();
    ctx->flags |= AVFMT_FLAG_CUSTOM_IO;
    // No file name: the format is recognised by content alone.
    int rc = avformat_open_input(&ctx, "", nullptr, nullptr);
    if (rc < 0) {
        error = "Unknown audio format: " + avError(rc);
        return false;
    }
    format_.reset(ctx);
    rc = avformat_find_stream_info(ctx, nullptr);
    if (rc < 0) {
        error = "Unreadable audio stream: " + avError(rc);
        return false;
    }
    const AVCodec* codec = nullptr;
    stream_ = av_find_best_stream(ctx, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (stream_ < 0 || !codec) {
        error = "No audio stream";
        return false;
    }
    AVCodecParameters* par = ctx->streams[stream_]->codecpar;
    if (!acceptedFormat(ctx->iformat->name, par->codec_id)) {
        error = std::string("Unsupported audio format: ") + ctx->iformat->name;
        return false;
    }
    codec_.reset(avcodec_alloc_context3(codec));
    if (!codec_ || avcodec_parameters_to_context(codec_.get(), par) < 0) {
        error = "Out of memory";
        return false;
    }
    // Lets the decoder trim encoder padding by timestamp without complaining.
    codec_->pkt_timebase = ctx->streams[stream_]->time_base;
    rc = avcodec_open2(codec_.get(), codec, nullptr);
    if (rc < 0) {
        error = "Can not open decoder: " + avError(rc);
        return false;
    }
    if (codec_->sample_rate <= 0 || codec_->ch_layout.nb_channels <= 0) {
        error = "Invalid audio parameters";
        return false;
    }
    return setupResampler(error);
}

bool Decoder::setupResampler(std::string& error) {
    AVChannelLayout inLayout;
    if (codec_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
        av_channel_layout_default(&inLayout, codec_->ch_layout.nb_channels);
    } else if (av_channel_layout_copy(&inLayout, &codec_->ch_layout) < 0) {
        error = "Out of memory";
        return false;
    }
    out_.channels = std::min(inLayout.nb_channels, 2);
    out_.sampleRate = codec_->sample_rate;
    AVChannelLayout outLayout;
    av_channel_layout_default(&outLayout, out_.channels);
    SwrContext* swr = nullptr;
    int rc = swr_alloc_set_opts2(&swr, &outLayout, AV_SAMPLE_FMT_FLT, out_.sampleRate, &inLayout,
                                 codec_->sample_fmt, codec_->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&inLayout);
    av_channel_layout_uninit(&outLayout);
    swr_.reset(swr);
    if (rc < 0 || (rc = swr_init(swr)) < 0) {
        error = "Can not convert samples: " + avError(rc);
        return false;
    }
    frame_.reset(av_frame_alloc());
    if (!frame_) {
        error = "Out of memory";
        return false;
    }
    AVStream* stream = format_->streams[stream_];
    if (stream->duration > 0 && stream->time_base.den > 0) {
        double seconds = stream->duration * av_q2d(stream->time_base);
        if (seconds > 0 && seconds < 24 * 3600) {
            out_.samples.reserve(static_cast<size_t>(seconds * out_.sampleRate * out_.channels) + 4096);
        }
    }
    return true;
}

bool Decoder::appendFrame(const AVFrame* frame, std::string& error) {
    if (frame->sample_rate != out_.sampleRate || frame->format != codec_->sample_fmt ||
        frame->ch_layout.nb_channels != codec_->ch_layout.nb_channels) {
        // A stream that changes its format midway is beyond this player.
        error = "Audio format changes within the stream";
        return false;
    }
    return convert(const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples, error);
}

// src null flushes what the converter still holds.
bool Decoder::convert(const uint8_t** src, int inFrames, std::string& error) {
    int capacity = swr_get_out_samples(swr_.get(), inFrames);
    if (capacity <= 0) {
        return true;
    }
    size_t start = out_.samples.size();
    out_.samples.resize(start + static_cast<size_t>(capacity) * out_.channels);
    auto* dst = reinterpret_cast<uint8_t*>(out_.samples.data() + start);
    int got = swr_convert(swr_.get(), &dst, capacity, src, inFrames);
    if (got < 0) {
        out_.samples.resize(start);
        error = "Can not convert samples: " + avError(got);
        return false;
    }
    out_.samples.resize(start + static_cast<size_t>(got) * out_.channels);
    return true;
}

bool Decoder::drainFrames(std::string& error) {
    for (;;) {
        int rc = avcodec_receive_frame(codec_.get(), frame_.get());
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) {
            return true;
        }
        if (rc < 0) {
            // A damaged frame is skipped, as players do; the rest of the file still plays.
            return true;
        }
        bool ok = appendFrame(frame_.get(), error);
        av_frame_unref(frame_.get());
        if (!ok) {
            return false;
        }
    }
}

bool Decoder::run(std::string& error) {
    out_ = AudioSound();
    if (!file_.seek(0)) {
        error = "Can not read file";
        return false;
    }
    if (!open(error)) {
        return false;
    }
    std::unique_ptr<AVPacket, PacketDeleter> packet(av_packet_alloc());
    if (!packet) {
        error = "Out of memory";
        return false;
    }
    while (av_read_frame(format_.get(), packet.get()) >= 0) {
        if (canceled()) {
            error = "Canceled";
            return false;
        }
        if (packet->stream_index == stream_) {
            // Send errors mean a damaged packet; skip it and keep decoding.
            avcodec_send_packet(codec_.get(), packet.get());
        }
        av_packet_unref(packet.get());
        if (!drainFrames(error)) {
            return false;
        }
    }
    avcodec_send_packet(codec_.get(), nullptr);
    if (!drainFrames(error)) {
        return false;
    }
    if (!convert(nullptr, 0, error)) {
        return false;
    }
    if (out_.frames() == 0) {
        error = "No audio frames";
        return false;
    }
    if (out_.samples.capacity() > out_.samples.size() + out_.samples.size() / 4) {
        out_.samples.shrink_to_fit();
    }
    return true;
}

} // namespace

bool decodeAudioFile(AudioFile& file, AudioSound& out, std::string& error, const std::atomic<bool>* cancel) {
    Decoder decoder(file, out, cancel);
    if (decoder.run(error)) {
        return true;
    }
    out = AudioSound();
    return false;
}
