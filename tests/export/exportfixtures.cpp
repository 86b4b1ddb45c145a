#include "exportfixtures.h"

#include "tts/engine/piperhelper.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

bool writeTestWav(const std::string& path, int samples, int toneHz) {
    std::string bytes = pp_wavheader(22050, 2, 1, static_cast<uint32_t>(samples));
    for (int i = 0; i < samples; ++i) {
        const auto v =
            static_cast<int16_t>(std::lround(8000.0 * std::sin(2.0 * M_PI * toneHz * i / 22050.0)));
        bytes.append(reinterpret_cast<const char*>(&v), 2); // little-endian host, as the system format
    }
    return writeFileBytes(path, bytes);
}

std::string readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool writeFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

DecodedAudio decodeAudio(const std::string& path) {
    DecodedAudio result;
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0) {
        return result;
    }
    const AVCodec* codec = nullptr;
    AVCodecContext* dec = nullptr;
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    int index = -1;
    bool ok = avformat_find_stream_info(fmt, nullptr) >= 0 &&
              (index = av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0)) >= 0 &&
              (dec = avcodec_alloc_context3(codec)) != nullptr &&
              avcodec_parameters_to_context(dec, fmt->streams[index]->codecpar) >= 0 &&
              avcodec_open2(dec, codec, nullptr) >= 0;
    if (ok) {
        result.format = fmt->iformat->name;
        result.codec = codec->name;
        result.channels = dec->ch_layout.nb_channels;
        result.sampleRate = dec->sample_rate;
        result.frameSize = fmt->streams[index]->codecpar->frame_size;
        auto drain = [&]() {
            while (avcodec_receive_frame(dec, frame) >= 0) {
                result.samples += frame->nb_samples;
                av_frame_unref(frame);
            }
        };
        while (av_read_frame(fmt, pkt) >= 0) {
            if (pkt->stream_index == index && avcodec_send_packet(dec, pkt) >= 0) {
                drain();
            }
            av_packet_unref(pkt);
        }
        avcodec_send_packet(dec, nullptr);
        drain();
        result.valid = true;
    }
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&dec);
    avformat_close_input(&fmt);
    return result;
}
