// The AVI library: reading an AVI file's video stream back, the encoders a re-compressed AVI can
// use, and the re-save that encodes a whole stream with one of them into a new AVI file. The
// uncompressed file itself is written by AviFileWriter (avi_file.h); the codec dialog that fills
// AviSaveOptions is in codec_dialog.h.
#pragma once

#include <QImage>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// A four-character code, first character in the lowest byte.
constexpr std::uint32_t aviFourCc(char a, char b, char c, char d) {
    return std::uint32_t(std::uint8_t(a)) | std::uint32_t(std::uint8_t(b)) << 8 |
           std::uint32_t(std::uint8_t(c)) << 16 | std::uint32_t(std::uint8_t(d)) << 24;
}
inline constexpr std::uint32_t kStreamTypeVideo = aviFourCc('v', 'i', 'd', 's');
// The handler code of uncompressed frames: choosing it means "do not re-compress".
inline constexpr std::uint32_t kUncompressedHandler = aviFourCc('D', 'I', 'B', ' ');

// One encoder offered for re-compression.
struct AviEncoder {
    std::string name;         // FFmpeg's encoder name, such as "mpeg4"
    std::string description;  // the name shown to the user
    std::uint32_t fourcc = 0; // the handler code the AVI file stores for it
    bool quality = false;     // a quality setting changes its output
    bool keyFrames = false;   // a key-frame interval changes its output
    bool dataRate = false;    // a data-rate target changes its output
};

// The encoders present in this build that an AVI file can hold and that encode any frame size,
// in the order the codec dialog lists them. Computed once.
const std::vector<AviEncoder>& aviEncoders();
// The entry of aviEncoders() with this name, or nullptr.
const AviEncoder* findAviEncoder(const std::string& name);

// The re-compression options the codec dialog fills in.
struct AviSaveOptions {
    std::uint32_t fccType = 0;
    std::uint32_t fccHandler = 0;  // kUncompressedHandler (or 0): no re-compression
    std::string encoder;           // FFmpeg name of the chosen encoder
    int quality = -1;              // 0 (worst) .. 10000 (best); -1: the encoder's default
    int keyFrameEvery = 0;         // a key frame at least every N frames; 0: the encoder's default
    int dataRateKBps = 0;          // target kilobytes per second; 0: none
};

// The first video stream of an AVI file, open for reading.
class AviSource {
public:
    enum class Status { Ok, FileError, NoVideoStream };

    // nullptr with status FileError when the file cannot be opened or is not an AVI file,
    // NoVideoStream when it holds no decodable video stream.
    static std::unique_ptr<AviSource> open(const std::string& path, Status& status);
    ~AviSource();
    AviSource(const AviSource&) = delete;
    AviSource& operator=(const AviSource&) = delete;

    int width() const;
    int height() const;
    int framesPerSecond() const;
    int frameCount() const;
    // Frame index (0-based) decoded as a Format_RGB32 image, top row first; a null image when
    // the index is out of range or the frame cannot be read.
    QImage frame(int index);

    struct Impl;

private:
    explicit AviSource(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
    friend int aviSave(const std::string&, AviSource&, const AviSaveOptions&,
                       const std::function<int(int)>&);
};

// Encodes every frame of source with options.encoder into a new AVI file at destination, one
// frame in memory at a time. progress is called with the percentage done (0..100) as frames are
// written; a non-zero return stops the save. Returns 0 on success and non-zero on failure or
// when stopped; a partly written destination is left for the caller to delete.
int aviSave(const std::string& destination, AviSource& source, const AviSaveOptions& options,
            const std::function<int(int)>& progress);
