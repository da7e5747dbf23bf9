// What the AVI module's own sources share about FFmpeg: owning handles, the open source stream, the
// encoders and how one is set up. Not for callers of the library; they see avi_library.h.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/avi/avi_library.h"

struct InputFormatDeleter {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecContextDeleter {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ScalerDeleter {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};
using InputFormatPtr = std::unique_ptr<AVFormatContext, InputFormatDeleter>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using ScalerPtr = std::unique_ptr<SwsContext, ScalerDeleter>;

// The source stream as the module's FFmpeg reads it.
class FfmpegAviSource final : public AviSource {
public:
    // nullptr with status as AviLibrary::openSource gives it.
    static std::unique_ptr<FfmpegAviSource> open(const std::string& path, Status& status);

    int width() const override;
    int height() const override;
    int framesPerSecond() const override;
    int frameCount() const override;
    QImage frame(int index) override;

    InputFormatPtr format;
    CodecContextPtr decoder;
    int streamIndex = -1;
    AVRational frameRate{1, 1};
    int frames = 0;
    PacketPtr packet;
    FramePtr current;  // the frame decodeNext() produced
    ScalerPtr toRgb;
    int nextIndex = -1;  // the index decodeNext() yields next without a seek; -1: unknown
    bool draining = false;

    // The stream timestamp of frame index.
    std::int64_t timestampOf(int index) const;
    // Positions the stream at the key frame at or before index and empties the decoder.
    int seekTo(int index);
    // The next frame of the stream in decode order into current: 0, AVERROR_EOF, or another error.
    int decodeNext();
};

// The encoders of AviLibrary::encoders(), computed once.
const std::vector<AviEncoder>& aviEncoders();
// The entry of aviEncoders() with this name, or nullptr.
const AviEncoder* findAviEncoder(const std::string& name);

// AviLibrary::save for a source of this module.
int aviSave(const std::string& destination, FfmpegAviSource& source, const AviSaveOptions& options,
            const std::function<int(int)>& progress);

// The pixel format an encoder gets for frames of format source: as the ffmpeg command line picks it,
// except 4:2:0 for H.264.
AVPixelFormat aviEncoderFormat(const AVCodec* codec, AVPixelFormat source);

// Allocates and opens codec (an encoder of aviEncoders()) for width × height frames of format at
// frameRate, with options' quality, key-frame and data-rate settings; threads 0 means one per core.
// The frame size may grow by the padding the encoder needs, see the context's width and height.
// nullptr when the encoder refuses every size tried.
CodecContextPtr openAviEncoder(const AVCodec* codec, int width, int height, AVPixelFormat format,
                               AVRational frameRate, const AviSaveOptions& options, int threads);

// The handler code an AVI file stores for the opened encoder; 0 when AVI cannot hold it.
std::uint32_t aviCodecTag(const AVCodecContext* encoder);
