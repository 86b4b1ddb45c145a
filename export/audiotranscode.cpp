#include "export/audiotranscode.h"

#include "common/tsfsys.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <filesystem>

namespace {

std::string errorText(int err) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {0};
    av_strerror(err, text, sizeof(text));
    return text;
}

// Everything one conversion holds; released in the destructor on every path.
struct Transcoder {
    AVFormatContext* in = nullptr;
    AVCodecContext* dec = nullptr;
    int streamIndex = -1;
    AVFormatContext* out = nullptr;
    AVCodecContext* enc = nullptr;
    AVStream* outStream = nullptr;
    SwrContext* swr = nullptr;
    AVAudioFifo* fifo = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* decoded = nullptr;
    AVFrame* encFrame = nullptr;
    uint8_t** converted = nullptr;
    int convertedCapacity = 0;
    int frameSize = 0;
    int64_t nextPts = 0;

    ~Transcoder() {
        if (converted) {
            av_freep(&converted[0]);
            av_freep(&converted);
        }
        av_frame_free(&encFrame);
        av_frame_free(&decoded);
        av_packet_free(&packet);
        if (fifo) {
            av_audio_fifo_free(fifo);
        }
        swr_free(&swr);
        avcodec_free_context(&enc);
        if (out) {
            avio_closep(&out->pb);
            avformat_free_context(out);
        }
        avcodec_free_context(&dec);
        avformat_close_input(&in);
    }

    bool openInput(const std::string& source);
    bool openOutput(const std::string& target, const std::string& writePath, int channels, int sampleRate);
    bool run();

private:
    bool decodePacket(const AVPacket* pkt);
    bool convertAndQueue(const AVFrame* frame);
    bool encodeQueued(bool flush);
    bool encodeFrame(const AVFrame* frame);
};

bool Transcoder::openInput(const std::string& source) {
    int ret = avformat_open_input(&in, source.c_str(), nullptr, nullptr);
    if (ret < 0) {
        av_log(nullptr, AV_LOG_ERROR, "%s: %s\n", source.c_str(), errorText(ret).c_str());
        return false;
    }
    ret = avformat_find_stream_info(in, nullptr);
    if (ret < 0) {
        av_log(nullptr, AV_LOG_ERROR, "%s: could not read stream information: %s\n", source.c_str(),
               errorText(ret).c_str());
        return false;
    }
    const AVCodec* decoder = nullptr;
    streamIndex = av_find_best_stream(in, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (streamIndex < 0 || !decoder) {
        av_log(nullptr, AV_LOG_ERROR, "%s: no decodable audio stream\n", source.c_str());
        return false;
    }
    dec = avcodec_alloc_context3(decoder);
    if (!dec) {
        return false;
    }
    const AVStream* stream = in->streams[streamIndex];
    avcodec_parameters_to_context(dec, stream->codecpar);
    dec->pkt_timebase = stream->time_base;
    ret = avcodec_open2(dec, decoder, nullptr);
    if (ret < 0) {
        av_log(nullptr, AV_LOG_ERROR, "%s: cannot open the %s decoder: %s\n", source.c_str(), decoder->name,
               errorText(ret).c_str());
        return false;
    }
    if (dec->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
        const int count = dec->ch_layout.nb_channels;
        av_channel_layout_uninit(&dec->ch_layout);
        av_channel_layout_default(&dec->ch_layout, count);
    }
    return true;
}

// Like FFmpeg's own negotiation: keep the decoder's sample width when the encoder offers it.
AVSampleFormat pickSampleFormat(const AVCodec* codec, AVSampleFormat preferred) {
    if (!codec->sample_fmts) {
        return preferred;
    }
    for (const AVSampleFormat* f = codec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f) {
        if (*f == preferred) {
            return *f;
        }
    }
    const AVSampleFormat planar = av_get_planar_sample_fmt(preferred);
    for (const AVSampleFormat* f = codec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f) {
        if (*f == planar) {
            return *f;
        }
    }
    return codec->sample_fmts[0];
}

bool sampleRateSupported(const AVCodec* codec, int rate) {
    if (!codec->supported_samplerates) {
        return true;
    }
    for (const int* r = codec->supported_samplerates; *r != 0; ++r) {
        if (*r == rate) {
            return true;
        }
    }
    return false;
}

bool Transcoder::openOutput(const std::string& target, const std::string& writePath, int channels,
                            int sampleRate) {
    int ret = avformat_alloc_output_context2(&out, nullptr, nullptr, target.c_str());
    if (ret < 0 || !out) {
        av_log(nullptr, AV_LOG_ERROR, "Unable to find a suitable output format for '%s'\n", target.c_str());
        return false;
    }
    const AVCodec* encoder = avcodec_find_encoder(out->oformat->audio_codec);
    if (!encoder) {
        av_log(nullptr, AV_LOG_ERROR, "%s: no audio encoder for the %s format\n", target.c_str(),
               out->oformat->name);
        return false;
    }
    if (!sampleRateSupported(encoder, sampleRate)) {
        av_log(nullptr, AV_LOG_ERROR, "%s: the %s encoder does not support %d Hz\n", target.c_str(),
               encoder->name, sampleRate);
        return false;
    }
    enc = avcodec_alloc_context3(encoder);
    if (!enc) {
        return false;
    }
    enc->sample_rate = sampleRate;
    av_channel_layout_default(&enc->ch_layout, channels);
    enc->sample_fmt = pickSampleFormat(encoder, dec->sample_fmt);
    enc->time_base = AVRational{1, sampleRate};
    if (out->oformat->flags & AVFMT_GLOBALHEADER) {
        enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    ret = avcodec_open2(enc, encoder, nullptr);
    if (ret < 0) {
        av_log(nullptr, AV_LOG_ERROR, "%s: cannot open the %s encoder: %s\n", target.c_str(), encoder->name,
               errorText(ret).c_str());
        return false;
    }
    outStream = avformat_new_stream(out, nullptr);
    if (!outStream) {
        return false;
    }
    avcodec_parameters_from_context(outStream->codecpar, enc);
    outStream->time_base = enc->time_base;

    ret = avio_open(&out->pb, writePath.c_str(), AVIO_FLAG_WRITE);
    if (ret < 0) {
        av_log(nullptr, AV_LOG_ERROR, "%s: %s\n", target.c_str(), errorText(ret).c_str());
        return false;
    }
    ret = avformat_write_header(out, nullptr);
    if (ret < 0) {
        av_log(nullptr, AV_LOG_ERROR, "%s: cannot write the header: %s\n", target.c_str(),
               errorText(ret).c_str());
        return false;
    }

    ret = swr_alloc_set_opts2(&swr, &enc->ch_layout, enc->sample_fmt, enc->sample_rate, &dec->ch_layout,
                              dec->sample_fmt, dec->sample_rate, 0, nullptr);
    if (ret < 0 || (ret = swr_init(swr)) < 0) {
        av_log(nullptr, AV_LOG_ERROR, "cannot set up the resampler: %s\n", errorText(ret).c_str());
        return false;
    }
    const bool variable = encoder->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE;
    frameSize = (enc->frame_size > 0 && !variable) ? enc->frame_size : 1024;
    fifo = av_audio_fifo_alloc(enc->sample_fmt, channels, frameSize * 4);
    packet = av_packet_alloc();
    decoded = av_frame_alloc();
    encFrame = av_frame_alloc();
    if (!fifo || !packet || !decoded || !encFrame) {
        return false;
    }
    encFrame->format = enc->sample_fmt;
    encFrame->sample_rate = enc->sample_rate;
    encFrame->nb_samples = frameSize;
    av_channel_layout_copy(&encFrame->ch_layout, &enc->ch_layout);
    return av_frame_get_buffer(encFrame, 0) >= 0;
}

bool Transcoder::encodeFrame(const AVFrame* frame) {
    int ret = avcodec_send_frame(enc, frame);
    if (ret < 0) {
        av_log(nullptr, AV_LOG_ERROR, "Error while encoding audio: %s\n", errorText(ret).c_str());
        return false;
    }
    while ((ret = avcodec_receive_packet(enc, packet)) >= 0) {
        packet->stream_index = outStream->index;
        av_packet_rescale_ts(packet, enc->time_base, outStream->time_base);
        ret = av_interleaved_write_frame(out, packet);
        if (ret < 0) {
            av_log(nullptr, AV_LOG_ERROR, "Error while writing audio: %s\n", errorText(ret).c_str());
            return false;
        }
    }
    return ret == AVERROR(EAGAIN) || ret == AVERROR_EOF;
}

// Feeds whole encoder frames from the queue; with flush, also the short remainder.
bool Transcoder::encodeQueued(bool flush) {
    while (av_audio_fifo_size(fifo) >= frameSize || (flush && av_audio_fifo_size(fifo) > 0)) {
        const int count = std::min(frameSize, av_audio_fifo_size(fifo));
        if (av_frame_make_writable(encFrame) < 0) {
            return false;
        }
        encFrame->nb_samples = count;
        if (av_audio_fifo_read(fifo, reinterpret_cast<void**>(encFrame->data), count) < count) {
            return false;
        }
        encFrame->pts = nextPts;
        nextPts += count;
        if (!encodeFrame(encFrame)) {
            return false;
        }
    }
    return true;
}

bool Transcoder::convertAndQueue(const AVFrame* frame) {
    const int inCount = frame ? frame->nb_samples : 0;
    const int capacity = swr_get_out_samples(swr, inCount);
    if (capacity <= 0) {
        return true;
    }
    if (capacity > convertedCapacity) {
        if (converted) {
            av_freep(&converted[0]);
            av_freep(&converted);
        }
        if (av_samples_alloc_array_and_samples(&converted, nullptr, enc->ch_layout.nb_channels, capacity,
                                               enc->sample_fmt, 0) < 0) {
            convertedCapacity = 0;
            return false;
        }
        convertedCapacity = capacity;
    }
    const int made =
        swr_convert(swr, converted, capacity,
                    frame ? const_cast<const uint8_t**>(frame->extended_data) : nullptr, inCount);
    if (made < 0) {
        av_log(nullptr, AV_LOG_ERROR, "Error while converting audio: %s\n", errorText(made).c_str());
        return false;
    }
    if (made > 0 && av_audio_fifo_write(fifo, reinterpret_cast<void**>(converted), made) < made) {
        return false;
    }
    return encodeQueued(false);
}

bool Transcoder::decodePacket(const AVPacket* pkt) {
    int ret = avcodec_send_packet(dec, pkt);
    if (ret < 0) {
        av_log(nullptr, AV_LOG_ERROR, "Error while decoding audio: %s\n", errorText(ret).c_str());
        return false;
    }
    while ((ret = avcodec_receive_frame(dec, decoded)) >= 0) {
        const bool ok = convertAndQueue(decoded);
        av_frame_unref(decoded);
        if (!ok) {
            return false;
        }
    }
    return ret == AVERROR(EAGAIN) || ret == AVERROR_EOF;
}

bool Transcoder::run() {
    int ret;
    while ((ret = av_read_frame(in, packet)) >= 0) {
        bool ok = true;
        if (packet->stream_index == streamIndex) {
            ok = decodePacket(packet);
        }
        av_packet_unref(packet);
        if (!ok) {
            return false;
        }
    }
    if (ret != AVERROR_EOF) {
        av_log(nullptr, AV_LOG_ERROR, "Error while reading the input: %s\n", errorText(ret).c_str());
        return false;
    }
    if (!decodePacket(nullptr) || !convertAndQueue(nullptr) || !encodeQueued(true) || !encodeFrame(nullptr)) {
        return false;
    }
    ret = av_write_trailer(out);
    if (ret < 0) {
        av_log(nullptr, AV_LOG_ERROR, "Error while finishing the output: %s\n", errorText(ret).c_str());
        return false;
    }
    ret = avio_closep(&out->pb);
    if (ret < 0) {
        av_log(nullptr, AV_LOG_ERROR, "Error while closing the output: %s\n", errorText(ret).c_str());
        return false;
    }
    return true;
}

} // namespace

int transcodeAudio(const std::string& source, const std::string& target, int channels, int sampleRate) {
    // Written beside the target and renamed, so a failed run never leaves a truncated file in its place.
    const std::string writePath = target + ".tmp";
    bool ok;
    {
        Transcoder t;
        ok = t.openInput(source) && t.openOutput(target, writePath, channels, sampleRate) && t.run();
    }
    std::error_code ec;
    if (ok) {
        tsfsys::rename(writePath, target, ec);
        if (!ec) {
            return 0;
        }
        av_log(nullptr, AV_LOG_ERROR, "%s: %s\n", target.c_str(), ec.message().c_str());
    }
    tsfsys::remove(writePath, ec);
    return 1;
}
