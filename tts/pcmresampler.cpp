#include "tts/pcmresampler.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/mem.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>

namespace {

AVSampleFormat toAv(PCMSampleFormat format) {
    switch (format) {
    case PCMSampleFormat::U8:
        return AV_SAMPLE_FMT_U8;
    case PCMSampleFormat::S16:
        return AV_SAMPLE_FMT_S16;
    case PCMSampleFormat::S32:
        return AV_SAMPLE_FMT_S32;
    case PCMSampleFormat::Float:
        return AV_SAMPLE_FMT_FLT;
    case PCMSampleFormat::None:
        break;
    }
    return AV_SAMPLE_FMT_NONE;
}

} // namespace

struct PCMResampler::Impl {
    SwrContext* swr = nullptr;
    int inChannels = 0;
    AVSampleFormat inFormat = AV_SAMPLE_FMT_NONE;
    int inRate = 0;
    bool inBigEndian = false;
    int outChannels = 0;
    AVSampleFormat outFormat = AV_SAMPLE_FMT_NONE;
    int outRate = 0;
    int chunk = 0;
    std::string pending;

    int inSampleBytes() const { return inChannels * av_get_bytes_per_sample(inFormat); }

    ~Impl() { swr_free(&swr); }
};

PCMResampler::PCMResampler() : impl_(std::make_unique<Impl>()) {}

PCMResampler::~PCMResampler() = default;

bool PCMResampler::isInitialised() const {
    return impl_->swr != nullptr;
}

bool PCMResampler::init(int inChannels, PCMSampleFormat inFormat, int inRate, bool inBigEndian,
                        int outChannels, PCMSampleFormat outFormat, int outRate, int chunk) {
    Impl& d = *impl_;
    swr_free(&d.swr);
    d.pending.clear();
    d.inChannels = inChannels;
    d.inFormat = toAv(inFormat);
    d.inRate = inRate;
    d.inBigEndian = inBigEndian;
    d.outChannels = outChannels;
    d.outFormat = toAv(outFormat);
    d.outRate = outRate;

    AVChannelLayout inLayout;
    AVChannelLayout outLayout;
    av_channel_layout_default(&inLayout, inChannels);
    av_channel_layout_default(&outLayout, outChannels);
    const int rc = swr_alloc_set_opts2(&d.swr, &outLayout, d.outFormat, outRate, &inLayout, d.inFormat,
                                       inRate, 0, nullptr);
    av_channel_layout_uninit(&inLayout);
    av_channel_layout_uninit(&outLayout);
    if (rc < 0) {
        swr_free(&d.swr);
        lastError = "swr_alloc_set_opts2 failed";
        return false;
    }
    // libswresample accepts an unknown format here and fails only when converting.
    if (!d.swr || d.inFormat == AV_SAMPLE_FMT_NONE || d.outFormat == AV_SAMPLE_FMT_NONE ||
        swr_init(d.swr) < 0) {
        swr_free(&d.swr);
        lastError = "swr_init failed.";
        return false;
    }
    d.chunk = chunk > 0 ? chunk : inRate;
    return true;
}

bool PCMResampler::convert(const uint8_t* input, int samples, const Sink& sink) {
    Impl& d = *impl_;
    uint8_t* inPlanes[AV_NUM_DATA_POINTERS] = {};
    if (input) {
        if (av_samples_fill_arrays(inPlanes, nullptr, input, d.inChannels, samples, d.inFormat, 1) < 0) {
            lastError = "av_samples_fill_arrays failed.";
            return false;
        }
    }
    const int capacity = swr_get_out_samples(d.swr, samples);
    if (capacity <= 0) {
        return capacity == 0;
    }
    uint8_t** outPlanes = nullptr;
    if (av_samples_alloc_array_and_samples(&outPlanes, nullptr, d.outChannels, capacity, d.outFormat, 0) <
        0) {
        lastError = "av_samples_alloc failed.";
        return false;
    }
    const int produced =
        swr_convert(d.swr, outPlanes, capacity, const_cast<const uint8_t**>(input ? inPlanes : nullptr),
                    input ? samples : 0);
    if (produced > 0) {
        sink(outPlanes, produced);
    }
    av_freep(&outPlanes[0]);
    av_freep(&outPlanes);
    if (produced < 0) {
        lastError = "swr_convert failed.";
        return false;
    }
    return true;
}

bool PCMResampler::update(const void* data, size_t bytes, const Sink& sink) {
    Impl& d = *impl_;
    if (!d.swr) {
        lastError = "null swr.";
        return false;
    }
    const size_t start = d.pending.size();
    d.pending.append(static_cast<const char*>(data), bytes);
    const int width = av_get_bytes_per_sample(d.inFormat);
    if (d.inBigEndian && (width == 2 || width == 4)) {
        for (size_t i = start; i + static_cast<size_t>(width) <= d.pending.size();
             i += static_cast<size_t>(width)) {
            std::reverse(d.pending.begin() + static_cast<std::ptrdiff_t>(i),
                         d.pending.begin() + static_cast<std::ptrdiff_t>(i) + width);
        }
    }
    const size_t chunkBytes = static_cast<size_t>(d.chunk) * static_cast<size_t>(d.inSampleBytes());
    if (d.pending.size() < chunkBytes) {
        return true;
    }
    if (!convert(reinterpret_cast<const uint8_t*>(d.pending.data()), d.chunk, sink)) {
        return false;
    }
    d.pending.erase(0, chunkBytes);
    return true;
}

void PCMResampler::final(const Sink& sink) {
    Impl& d = *impl_;
    if (!d.swr) {
        return;
    }
    const int samples = static_cast<int>(d.pending.size() / static_cast<size_t>(d.inSampleBytes()));
    if (samples >= 1) {
        convert(reinterpret_cast<const uint8_t*>(d.pending.data()), samples, sink);
    }
    d.pending.clear();
}

void PCMResampler::flush(const Sink& sink) {
    if (impl_->swr) {
        convert(nullptr, 0, sink);
    }
}
