#include "platform/avi/module/avi_ffmpeg.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace {

enum class QualityKnob { None, QScale, Crf };
// Most encoders take the key-frame distance from gop_size; a few count it against keyint_min.
enum class KeyKnob { None, GopSize, KeyIntMin };

struct Candidate {
    const char* name;
    const char* description;
    QualityKnob quality;
    KeyKnob keys;
    bool dataRate;
};

// Lossless and intra-only encoders have no quality, data-rate or key-frame setting that changes
// what they write; png and zmbv's compression level only trades time for size.
constexpr Candidate kCandidates[] = {
    {"mjpeg", "Motion JPEG", QualityKnob::QScale, KeyKnob::None, true},
    {"mpeg4", "MPEG-4 Part 2", QualityKnob::QScale, KeyKnob::GopSize, true},
    {"libxvid", "MPEG-4 Part 2 (Xvid)", QualityKnob::QScale, KeyKnob::GopSize, true},
    {"msmpeg4v2", "Microsoft MPEG-4 V2", QualityKnob::QScale, KeyKnob::GopSize, true},
    {"msmpeg4", "Microsoft MPEG-4 V3", QualityKnob::QScale, KeyKnob::GopSize, true},
    {"ffv1", "FFV1 (lossless)", QualityKnob::None, KeyKnob::GopSize, false},
    {"huffyuv", "Huffyuv (lossless)", QualityKnob::None, KeyKnob::None, false},
    {"ffvhuff", "Huffyuv FFmpeg variant (lossless)", QualityKnob::None, KeyKnob::None, false},
    {"utvideo", "Ut Video (lossless)", QualityKnob::None, KeyKnob::None, false},
    {"magicyuv", "MagicYUV (lossless)", QualityKnob::None, KeyKnob::None, false},
    {"zmbv", "Zip Motion Blocks Video (lossless)", QualityKnob::None, KeyKnob::KeyIntMin, false},
    {"png", "PNG (lossless)", QualityKnob::None, KeyKnob::None, false},
    {"libx264", "H.264 (x264)", QualityKnob::Crf, KeyKnob::GopSize, true},
    {"cinepak", "Cinepak", QualityKnob::QScale, KeyKnob::KeyIntMin, false},
    {"msvideo1", "Microsoft Video 1", QualityKnob::None, KeyKnob::KeyIntMin, false},
};

// The padding rule. An encoder keeps the picture's own size when it accepts it. One that refuses
// it (Xvid wants even sides for 4:2:0, Cinepak and Video 1 multiples of 4) gets the sides rounded
// up to the first of these alignments it accepts; aviSave fills the added columns and rows with
// copies of the last ones, so no edge of another colour shows, and the AVI header holds the padded
// size (AVI has no cropping).
constexpr int kAlignments[] = {1, 2, 4, 8, 16};

// A small odd size: an encoder listed must cope with it, and trying it costs little.
constexpr int kProbeWidth = 67;
constexpr int kProbeHeight = 35;
constexpr AVRational kProbeRate{15, 1};

// Demotes an encoder's messages from error to debug for tries whose failure is expected.
constexpr int kQuietLogOffset = AV_LOG_DEBUG - AV_LOG_ERROR;

const Candidate* findCandidate(const char* name) {
    for (const Candidate& candidate : kCandidates)
        if (std::strcmp(candidate.name, name) == 0) return &candidate;
    return nullptr;
}

int alignUp(int value, int alignment) { return (value + alignment - 1) / alignment * alignment; }

// Quality 0..10000 to a quantiser 31..1. Equal quality steps scale the quantiser by equal factors,
// as its effect on the picture is about proportional: 10000 -> 1, 7500 -> 2, 5000 -> 6, 0 -> 31.
int qscaleFor(int quality) {
    const double q = std::pow(31.0, 1.0 - std::clamp(quality, 0, 10000) / 10000.0);
    return std::clamp(int(std::lround(q)), 1, 31);
}

// Quality 0..10000 to x264's constant rate factor 51..0, linearly (the factor is already
// logarithmic in the quantiser): 10000 -> 0 (lossless), 5500 -> about 23 (x264's default).
double crfFor(int quality) { return 51.0 * (1.0 - std::clamp(quality, 0, 10000) / 10000.0); }

// With both a quality and a data rate, the quality is the best the rate control may spend bits on
// and the data rate the target (mpegvideo family) or the ceiling (x264); a data rate alone is an
// average target.
void applyOptions(AVCodecContext* context, const Candidate& knobs, const AviSaveOptions& options) {
    if (options.keyFrameEvery > 0) {
        if (knobs.keys == KeyKnob::GopSize) context->gop_size = options.keyFrameEvery;
        if (knobs.keys == KeyKnob::KeyIntMin) context->keyint_min = options.keyFrameEvery;
    }
    const bool rate = knobs.dataRate && options.dataRateKBps > 0;
    const std::int64_t bitRate = std::int64_t(options.dataRateKBps) * 8000;
    const bool quality = options.quality >= 0;
    if (knobs.quality == QualityKnob::QScale && quality) {
        const int q = qscaleFor(options.quality);
        if (rate) {
            context->bit_rate = bitRate;
            context->qmin = q;
            context->qmax = std::max(context->qmax, q);
        } else {
            context->flags |= AV_CODEC_FLAG_QSCALE;
            context->global_quality = FF_QP2LAMBDA * q;
            context->qmin = std::min(context->qmin, q);  // qmin would otherwise hold back q = 1
        }
    } else if (knobs.quality == QualityKnob::Crf && quality) {
        av_opt_set_double(context->priv_data, "crf", crfFor(options.quality), 0);
        if (rate) {
            context->rc_max_rate = bitRate;
            context->rc_buffer_size = int(std::min<std::int64_t>(bitRate, INT_MAX));
        }
    } else if (rate) {
        context->bit_rate = bitRate;
    }
}

// Opens the encoder on a small odd-sized black picture and encodes it: the encoders listed are
// those that really work in this build. fourcc receives the handler code the file would store.
bool encodesProbeFrame(const AVCodec* codec, std::uint32_t& fourcc) {
    const AVPixelFormat format = aviEncoderFormat(codec, AV_PIX_FMT_RGB555LE);
    CodecContextPtr encoder =
        openAviEncoder(codec, kProbeWidth, kProbeHeight, format, kProbeRate, AviSaveOptions{}, 1);
    FramePtr frame(av_frame_alloc());
    PacketPtr packet(av_packet_alloc());
    if (!encoder || !frame || !packet) return false;
    encoder->log_level_offset = kQuietLogOffset;  // x264 reports its statistics when closed
    frame->format = format;
    frame->width = encoder->width;
    frame->height = encoder->height;
    if (av_frame_get_buffer(frame.get(), 0) < 0) return false;
    ptrdiff_t linesizes[4];
    std::copy(frame->linesize, frame->linesize + 4, linesizes);
    av_image_fill_black(frame->data, linesizes, format, AVCOL_RANGE_MPEG, frame->width, frame->height);
    frame->pts = 0;
    if (avcodec_send_frame(encoder.get(), frame.get()) < 0 || avcodec_send_frame(encoder.get(), nullptr) < 0)
        return false;
    int packets = 0;
    int ret = 0;
    while ((ret = avcodec_receive_packet(encoder.get(), packet.get())) >= 0) {
        packets += packet->size > 0;
        av_packet_unref(packet.get());
    }
    fourcc = aviCodecTag(encoder.get());
    return ret == AVERROR_EOF && packets > 0 && fourcc != 0;
}

}  // namespace

AVPixelFormat aviEncoderFormat(const AVCodec* codec, AVPixelFormat source) {
    if (!codec->pix_fmts) return source;
    // The closest match for RGB frames would be 4:4:4 H.264, which few players can show; 4:2:0
    // plays everywhere (odd sizes get the padding above).
    if (std::strcmp(codec->name, "libx264") == 0) return AV_PIX_FMT_YUV420P;
    return avcodec_find_best_pix_fmt_of_list(codec->pix_fmts, source, 0, nullptr);
}

CodecContextPtr openAviEncoder(const AVCodec* codec, int width, int height, AVPixelFormat format,
                               AVRational frameRate, const AviSaveOptions& options, int threads) {
    const Candidate* knobs = findCandidate(codec->name);
    if (!knobs || width <= 0 || height <= 0) return nullptr;
    int triedWidth = 0;
    int triedHeight = 0;
    for (const int alignment : kAlignments) {
        const int paddedWidth = alignUp(width, alignment);
        const int paddedHeight = alignUp(height, alignment);
        if (paddedWidth == triedWidth && paddedHeight == triedHeight) continue;
        triedWidth = paddedWidth;
        triedHeight = paddedHeight;
        CodecContextPtr context(avcodec_alloc_context3(codec));
        if (!context) return nullptr;
        context->width = paddedWidth;
        context->height = paddedHeight;
        context->pix_fmt = format;
        context->time_base = av_inv_q(frameRate);
        context->framerate = frameRate;
        context->thread_count = threads;
        context->log_level_offset = kQuietLogOffset;
        applyOptions(context.get(), *knobs, options);
        if (avcodec_open2(context.get(), codec, nullptr) >= 0) {
            context->log_level_offset = 0;
            return context;
        }
    }
    return nullptr;
}

std::uint32_t aviCodecTag(const AVCodecContext* encoder) {
    // Some encoders name the variant they write (Ut Video's ULRG, Xvid's xvid); players go by it.
    if (encoder->codec_tag) return encoder->codec_tag;
    const AVOutputFormat* avi = av_guess_format("avi", nullptr, nullptr);
    return avi ? av_codec_get_tag(avi->codec_tag, encoder->codec_id) : 0;
}

const std::vector<AviEncoder>& aviEncoders() {
    static const std::vector<AviEncoder> encoders = [] {
        std::vector<AviEncoder> found;
        for (const Candidate& candidate : kCandidates) {
            const AVCodec* codec = avcodec_find_encoder_by_name(candidate.name);
            std::uint32_t fourcc = 0;
            if (!codec || codec->type != AVMEDIA_TYPE_VIDEO || !encodesProbeFrame(codec, fourcc)) continue;
            found.push_back({candidate.name, candidate.description, fourcc,
                             candidate.quality != QualityKnob::None, candidate.keys != KeyKnob::None,
                             candidate.dataRate});
        }
        return found;
    }();
    return encoders;
}

const AviEncoder* findAviEncoder(const std::string& name) { return findEncoder(aviEncoders(), name); }
