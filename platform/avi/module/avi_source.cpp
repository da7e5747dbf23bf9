#include "platform/avi/module/avi_ffmpeg.h"

extern "C" {
#include <libavutil/mem.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Rows of the images handed out start on this boundary, which swscale's vector code wants.
constexpr int kRowAlignment = 64;

AVRational streamFrameRate(const AVStream* stream) {
    for (const AVRational rate : {stream->avg_frame_rate, stream->r_frame_rate})
        if (rate.num > 0 && rate.den > 0) return rate;
    // AVI's stream time base is dwScale/dwRate, one tick per frame.
    if (stream->time_base.num > 0 && stream->time_base.den > 0) return av_inv_q(stream->time_base);
    return AVRational{1, 1};
}

}  // namespace

std::int64_t FfmpegAviSource::timestampOf(int index) const {
    const AVStream* stream = format->streams[streamIndex];
    const std::int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    return start + av_rescale_q(index, av_inv_q(frameRate), stream->time_base);
}

int FfmpegAviSource::seekTo(int index) {
    nextIndex = -1;
    const int ret = av_seek_frame(format.get(), streamIndex, timestampOf(index), AVSEEK_FLAG_BACKWARD);
    avcodec_flush_buffers(decoder.get());
    draining = false;
    if (ret >= 0 && index == 0) nextIndex = 0;
    return ret;
}

int FfmpegAviSource::decodeNext() {
    av_frame_unref(current.get());
    for (;;) {
        int ret = avcodec_receive_frame(decoder.get(), current.get());
        if (ret != AVERROR(EAGAIN) || draining) return ret == AVERROR(EAGAIN) ? AVERROR_EOF : ret;
        ret = av_read_frame(format.get(), packet.get());
        if (ret == AVERROR_EOF) {
            draining = true;
            avcodec_send_packet(decoder.get(), nullptr);
            continue;
        }
        if (ret < 0) return ret;
        if (packet->stream_index == streamIndex) {
            ret = avcodec_send_packet(decoder.get(), packet.get());
            // A damaged sample (the last one of a recording cut short, say) is skipped, as the
            // ffmpeg command line does; anything else ends the stream.
            if (ret < 0 && ret != AVERROR_INVALIDDATA && ret != AVERROR(EINVAL)) {
                av_packet_unref(packet.get());
                return ret;
            }
        }
        av_packet_unref(packet.get());
    }
}

std::unique_ptr<FfmpegAviSource> FfmpegAviSource::open(const std::string& path, Status& status) {
    status = Status::FileError;
    // Opened as whatever it is, so that another kind of file is refused rather than misread.
    AVFormatContext* opened = nullptr;
    if (avformat_open_input(&opened, path.c_str(), nullptr, nullptr) < 0) return nullptr;
    InputFormatPtr format(opened);
    if (std::strcmp(format->iformat->name, "avi") != 0) return nullptr;

    status = Status::NoVideoStream;
    int index = -1;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        AVStream* stream = format->streams[i];
        if (index < 0 && stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
            index = int(i);
        else
            stream->discard = AVDISCARD_ALL;  // the demuxer then skips their chunks
    }
    if (index < 0) return nullptr;
    AVStream* stream = format->streams[index];
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec) return nullptr;
    CodecContextPtr decoder(avcodec_alloc_context3(codec));
    if (!decoder || avcodec_parameters_to_context(decoder.get(), stream->codecpar) < 0) return nullptr;
    decoder->pkt_timebase = stream->time_base;
    decoder->thread_count = 0;
    if (avcodec_open2(decoder.get(), codec, nullptr) < 0 || decoder->width <= 0 || decoder->height <= 0)
        return nullptr;

    auto source = std::make_unique<FfmpegAviSource>();
    source->frameRate = streamFrameRate(stream);
    // The headers' count, or the index's (one entry per frame) where the headers leave it out.
    source->frames = int(std::clamp<std::int64_t>(
        std::max<std::int64_t>(stream->nb_frames, avformat_index_get_entries_count(stream)), 0, INT32_MAX));
    source->packet.reset(av_packet_alloc());
    source->current.reset(av_frame_alloc());
    if (!source->packet || !source->current) return nullptr;
    source->format = std::move(format);
    source->decoder = std::move(decoder);
    source->streamIndex = index;
    source->nextIndex = 0;
    status = Status::Ok;
    return source;
}

int FfmpegAviSource::width() const { return decoder->width; }

int FfmpegAviSource::height() const { return decoder->height; }

int FfmpegAviSource::framesPerSecond() const { return std::max(1, int(std::lround(av_q2d(frameRate)))); }

int FfmpegAviSource::frameCount() const { return frames; }

QImage FfmpegAviSource::frame(int index) {
    if (index < 0 || index >= frames) return {};
    // Reading on from the previous frame needs no seek; otherwise decode from the key frame before.
    const bool sequential = index == nextIndex;
    if (!sequential && seekTo(index) < 0) return {};
    const std::int64_t target = timestampOf(index);
    for (;;) {
        if (decodeNext() < 0) {
            nextIndex = -1;
            return {};
        }
        const std::int64_t timestamp = current->best_effort_timestamp;
        if (sequential || timestamp == AV_NOPTS_VALUE || timestamp >= target) break;
    }
    nextIndex = index + 1;

    const AVFrame* decoded = current.get();
    toRgb.reset(sws_getCachedContext(toRgb.release(), decoded->width, decoded->height,
                                     AVPixelFormat(decoded->format), decoded->width, decoded->height,
                                     AV_PIX_FMT_RGB32, SWS_BICUBIC, nullptr, nullptr, nullptr));
    if (!toRgb) return {};
    const int stride = FFALIGN(decoded->width * 4, kRowAlignment);
    auto* bits = static_cast<uchar*>(av_malloc(std::size_t(stride) * std::size_t(decoded->height)));
    if (!bits) return {};
    QImage image(bits, decoded->width, decoded->height, stride, QImage::Format_RGB32, av_free, bits);
    std::uint8_t* planes[4] = {bits, nullptr, nullptr, nullptr};
    const int strides[4] = {stride, 0, 0, 0};
    const bool converted = sws_scale(toRgb.get(), decoded->data, decoded->linesize, 0, decoded->height,
                                     planes, strides) == decoded->height;
    av_frame_unref(current.get());
    return converted ? image : QImage();
}
