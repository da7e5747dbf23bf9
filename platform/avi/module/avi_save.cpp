#include "platform/avi/module/avi_ffmpeg.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cstring>

namespace {

// aviSave's result when progress asked to stop; failures are negative AVERROR codes.
constexpr int kStopped = 1;

// Plane rows start on this boundary, and the rows below the picture up to the next multiple of
// kRowPadding are allocated too, as av_frame_get_buffer does: vector code reads and writes past
// the last pixel.
constexpr int kAlignment = 64;
constexpr int kRowPadding = 32;

struct OutputFormatDeleter {
    void operator()(AVFormatContext* context) const {
        if (!(context->oformat->flags & AVFMT_NOFILE)) avio_closep(&context->pb);
        avformat_free_context(context);
    }
};
struct BufferPoolDeleter {
    void operator()(AVBufferPool* pool) const { av_buffer_pool_uninit(&pool); }
};
using OutputFormatPtr = std::unique_ptr<AVFormatContext, OutputFormatDeleter>;
using BufferPoolPtr = std::unique_ptr<AVBufferPool, BufferPoolDeleter>;

// Frames of the encoder's format and size from a pool: the buffers the encoder has let go of are
// reused, so a long stream neither grows memory nor faults in a fresh buffer for every frame.
class FramePool {
public:
    bool init(AVPixelFormat format, int width, int height) {
        m_format = format;
        m_width = width;
        m_height = height;
        int linesizes[4];
        if (av_image_fill_linesizes(linesizes, format, width) < 0) return false;
        ptrdiff_t aligned[4];
        for (int p = 0; p < 4; ++p) aligned[p] = m_linesizes[p] = FFALIGN(linesizes[p], kAlignment);
        std::size_t sizes[4];
        if (av_image_fill_plane_sizes(sizes, format, FFALIGN(height, kRowPadding), aligned) < 0) return false;
        std::size_t total = 0;
        for (int p = 0; p < 4; ++p) {
            m_offsets[p] = total;
            total += FFALIGN(sizes[p], std::size_t(kAlignment));
        }
        m_pool.reset(av_buffer_pool_init(total + kAlignment, nullptr));
        return m_pool != nullptr;
    }

    FramePtr get() const {
        FramePtr frame(av_frame_alloc());
        if (!frame || !(frame->buf[0] = av_buffer_pool_get(m_pool.get()))) return nullptr;
        frame->format = m_format;
        frame->width = m_width;
        frame->height = m_height;
        for (int p = 0; p < 4 && m_linesizes[p]; ++p) {
            frame->data[p] = frame->buf[0]->data + m_offsets[p];
            frame->linesize[p] = m_linesizes[p];
        }
        return frame;
    }

private:
    BufferPoolPtr m_pool;
    AVPixelFormat m_format = AV_PIX_FMT_NONE;
    int m_width = 0;
    int m_height = 0;
    int m_linesizes[4] = {};
    std::size_t m_offsets[4] = {};
};

// The padding of the encoder's frame right of and below the width × height picture repeats the
// picture's last column and row (the padding rule is at kAlignments in avi_encoders.cpp).
void replicateEdges(AVFrame* frame, int width, int height) {
    if (frame->width == width && frame->height == height) return;
    const AVPixelFormat format = AVPixelFormat(frame->format);
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(format);
    int used[4];
    int full[4];
    if (!desc || (desc->flags & AV_PIX_FMT_FLAG_BITSTREAM) ||
        av_image_fill_linesizes(used, format, width) < 0 ||
        av_image_fill_linesizes(full, format, frame->width) < 0)
        return;
    const int planes = desc->flags & AV_PIX_FMT_FLAG_PAL ? 1 : 4;
    for (int p = 0; p < planes && frame->data[p]; ++p) {
        int step = 0;  // bytes of one pixel in this plane
        for (int c = 0; c < desc->nb_components; ++c)
            if (desc->comp[c].plane == p) step = std::max(step, desc->comp[c].step);
        if (step == 0 || used[p] < step) continue;
        const int shift = p == 1 || p == 2 ? desc->log2_chroma_h : 0;
        const int rows = AV_CEIL_RSHIFT(height, shift);
        const int allRows = AV_CEIL_RSHIFT(frame->height, shift);
        std::uint8_t* const base = frame->data[p];
        const int linesize = frame->linesize[p];
        for (int y = 0; y < rows && full[p] > used[p]; ++y) {
            std::uint8_t* row = base + std::ptrdiff_t(y) * linesize;
            for (int x = used[p]; x + step <= full[p]; x += step)
                std::memcpy(row + x, row + used[p] - step, step);
        }
        for (int y = rows; y < allRows; ++y)
            std::memcpy(base + std::ptrdiff_t(y) * linesize, base + std::ptrdiff_t(rows - 1) * linesize,
                        full[p]);
    }
}

// swscale takes the full-range YUV formats (yuvj*, which Motion JPEG uses) as their plain twins
// plus a range flag; it complains about the old names.
AVPixelFormat plainYuv(AVPixelFormat format, int& fullRange) {
    fullRange = 1;
    switch (format) {
        case AV_PIX_FMT_YUVJ420P:
            return AV_PIX_FMT_YUV420P;
        case AV_PIX_FMT_YUVJ422P:
            return AV_PIX_FMT_YUV422P;
        case AV_PIX_FMT_YUVJ444P:
            return AV_PIX_FMT_YUV444P;
        case AV_PIX_FMT_YUVJ440P:
            return AV_PIX_FMT_YUV440P;
        case AV_PIX_FMT_YUVJ411P:
            return AV_PIX_FMT_YUV411P;
        default:
            fullRange = 0;
            return format;
    }
}

// Conversion with swscale's slice threads on every core, as the ffmpeg command line's scale filter
// runs it; bicubic is its default too, though at an unchanged size no filtering happens.
ScalerPtr makeScaler(int width, int height, AVPixelFormat from, AVPixelFormat to) {
    ScalerPtr scaler(sws_alloc_context());
    if (!scaler) return nullptr;
    SwsContext* s = scaler.get();
    int fromFull = 0;
    int toFull = 0;
    from = plainYuv(from, fromFull);
    to = plainYuv(to, toFull);
    if (av_opt_set_int(s, "srcw", width, 0) < 0 || av_opt_set_int(s, "srch", height, 0) < 0 ||
        av_opt_set_int(s, "src_format", from, 0) < 0 || av_opt_set_int(s, "src_range", fromFull, 0) < 0 ||
        av_opt_set_int(s, "dstw", width, 0) < 0 || av_opt_set_int(s, "dsth", height, 0) < 0 ||
        av_opt_set_int(s, "dst_format", to, 0) < 0 || av_opt_set_int(s, "dst_range", toFull, 0) < 0 ||
        av_opt_set_int(s, "sws_flags", SWS_BICUBIC, 0) < 0 || av_opt_set_int(s, "threads", 0, 0) < 0 ||
        sws_init_context(s, nullptr, nullptr) < 0)
        return nullptr;
    return scaler;
}

class Saver {
public:
    Saver(FfmpegAviSource& source, const std::function<int(int)>& progress)
        : m_source(source), m_progress(progress) {}
    int run(const std::string& destination, const AVCodec* codec, const AviSaveOptions& options);

private:
    int openOutput(const std::string& destination);
    int encode(const AVFrame* frame);
    int writePackets();

    FfmpegAviSource& m_source;
    const std::function<int(int)>& m_progress;
    CodecContextPtr m_encoder;
    OutputFormatPtr m_output;
    PacketPtr m_packet{av_packet_alloc()};
    FramePtr m_view{av_frame_alloc()};
    ScalerPtr m_scaler;
    FramePool m_pool;
    int m_width = 0;
    int m_height = 0;
    std::int64_t m_framesDone = 0;
};

int Saver::openOutput(const std::string& destination) {
    AVFormatContext* output = nullptr;
    int ret = avformat_alloc_output_context2(&output, nullptr, "avi", destination.c_str());
    if (ret < 0) return ret;
    m_output.reset(output);
    AVStream* stream = avformat_new_stream(output, nullptr);
    if (!stream) return AVERROR(ENOMEM);
    if ((ret = avcodec_parameters_from_context(stream->codecpar, m_encoder.get())) < 0) return ret;
    stream->codecpar->codec_tag = aviCodecTag(m_encoder.get());
    stream->time_base = m_encoder->time_base;
    stream->avg_frame_rate = m_encoder->framerate;
    if ((ret = avio_open(&output->pb, destination.c_str(), AVIO_FLAG_WRITE)) < 0) return ret;
    return avformat_write_header(output, nullptr);
}

int Saver::writePackets() {
    for (;;) {
        int ret = avcodec_receive_packet(m_encoder.get(), m_packet.get());
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return 0;
        if (ret < 0) return ret;
        AVStream* stream = m_output->streams[0];
        av_packet_rescale_ts(m_packet.get(), m_encoder->time_base, stream->time_base);
        m_packet->stream_index = stream->index;
        // One stream needs no interleaving: each packet goes to the file at once.
        ret = av_write_frame(m_output.get(), m_packet.get());
        av_packet_unref(m_packet.get());
        if (ret < 0) return ret;
    }
}

// Converts (or passes on) one decoded frame and hands it to the encoder.
int Saver::encode(const AVFrame* decoded) {
    FramePtr input;
    if (!m_scaler) {
        input.reset(av_frame_clone(decoded));
        if (!input) return AVERROR(ENOMEM);
    } else {
        input = m_pool.get();
        if (!input) return AVERROR(ENOMEM);
        // swscale fills exactly the picture's size: a view of the padded frame cut to it.
        int ret = av_frame_ref(m_view.get(), input.get());
        if (ret < 0) return ret;
        m_view->width = m_width;
        m_view->height = m_height;
        ret = sws_scale_frame(m_scaler.get(), m_view.get(), decoded);
        av_frame_unref(m_view.get());
        if (ret < 0) return ret;
        replicateEdges(input.get(), m_width, m_height);
    }
    // The encoder decides the frame types, and numbers the frames at the stream's constant rate.
    input->pict_type = AV_PICTURE_TYPE_NONE;
    input->key_frame = 0;
    input->pts = m_framesDone;
    // Encoders in fixed-quantiser mode read the quantiser from each frame.
    if (m_encoder->flags & AV_CODEC_FLAG_QSCALE) input->quality = m_encoder->global_quality;
    const int ret = avcodec_send_frame(m_encoder.get(), input.get());
    return ret < 0 ? ret : writePackets();
}

int Saver::run(const std::string& destination, const AVCodec* codec, const AviSaveOptions& options) {
    if (!m_packet || !m_view) return AVERROR(ENOMEM);
    FfmpegAviSource& source = m_source;
    // From the first frame, whatever frame() read last.
    if (source.nextIndex != 0 && source.seekTo(0) < 0 && source.frames > 0) return AVERROR(EIO);
    source.nextIndex = -1;
    int ret = source.decodeNext();
    if (ret < 0 && ret != AVERROR_EOF) return ret;
    bool haveFrame = ret == 0;

    // The first frame tells the decoded format; a stream without frames has the decoder's.
    const AVFrame* first = source.current.get();
    AVPixelFormat sourceFormat = haveFrame ? AVPixelFormat(first->format) : source.decoder->pix_fmt;
    if (sourceFormat == AV_PIX_FMT_NONE) sourceFormat = AV_PIX_FMT_BGR24;
    m_width = haveFrame ? first->width : source.decoder->width;
    m_height = haveFrame ? first->height : source.decoder->height;
    const AVPixelFormat format = aviEncoderFormat(codec, sourceFormat);
    m_encoder = openAviEncoder(codec, m_width, m_height, format, source.frameRate, options, 0);
    if (!m_encoder) return AVERROR(EINVAL);
    if ((ret = openOutput(destination)) < 0) return ret;
    if (format != sourceFormat || m_encoder->width != m_width || m_encoder->height != m_height) {
        m_scaler = makeScaler(m_width, m_height, sourceFormat, format);
        if (!m_scaler || !m_pool.init(format, m_encoder->width, m_encoder->height)) return AVERROR(ENOMEM);
    }

    const std::int64_t total = source.frames;
    while (haveFrame) {
        if (source.current->width != m_width || source.current->height != m_height ||
            source.current->format != sourceFormat)
            return AVERROR_INPUT_CHANGED;
        if ((ret = encode(source.current.get())) < 0) return ret;
        av_frame_unref(source.current.get());
        ++m_framesDone;
        const int percent = total > 0 ? int(std::min<std::int64_t>(100, m_framesDone * 100 / total)) : 100;
        if (m_progress && m_progress(percent) != 0) return kStopped;
        ret = source.decodeNext();
        if (ret < 0 && ret != AVERROR_EOF) return ret;
        haveFrame = ret == 0;
    }
    if ((ret = avcodec_send_frame(m_encoder.get(), nullptr)) < 0 || (ret = writePackets()) < 0) return ret;
    if ((ret = av_write_trailer(m_output.get())) < 0 || (ret = avio_closep(&m_output->pb)) < 0) return ret;
    if (m_progress) m_progress(100);
    return 0;
}

}  // namespace

int aviSave(const std::string& destination, FfmpegAviSource& source, const AviSaveOptions& options,
            const std::function<int(int)>& progress) {
    const AviEncoder* entry = findAviEncoder(options.encoder);
    const AVCodec* codec = entry ? avcodec_find_encoder_by_name(entry->name.c_str()) : nullptr;
    if (!codec) return AVERROR_ENCODER_NOT_FOUND;
    Saver saver(source, progress);
    return saver.run(destination, codec, options);
}
