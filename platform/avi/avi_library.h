// The AVI library as its callers see it: reading an AVI file's video stream back, the encoders a
// re-compressed AVI can use, the codec dialog, and the re-save that encodes a whole stream with one
// of them into a new AVI file. All of it needs FFmpeg, so it lives in the AVI module, which
// AviLibraryLoader (avi_library_loader.h) opens on first use; nothing here includes FFmpeg. The
// uncompressed file itself is written by AviFileWriter (avi_file_writer.h), which needs no module.
#pragma once

#include <QImage>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QWidget;

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
    std::string name;          // FFmpeg's encoder name, such as "mpeg4"
    std::string description;   // the name shown to the user
    std::uint32_t fourcc = 0;  // the handler code the AVI file stores for it
    bool quality = false;      // a quality setting changes its output
    bool keyFrames = false;    // a key-frame interval changes its output
    bool dataRate = false;     // a data-rate target changes its output
};

// The entry of encoders with this name, or nullptr.
inline const AviEncoder* findEncoder(const std::vector<AviEncoder>& encoders, const std::string& name) {
    const auto it = std::find_if(encoders.begin(), encoders.end(),
                                 [&](const AviEncoder& encoder) { return encoder.name == name; });
    return it != encoders.end() ? &*it : nullptr;
}

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

    virtual ~AviSource() = default;
    virtual int width() const = 0;
    virtual int height() const = 0;
    virtual int framesPerSecond() const = 0;
    virtual int frameCount() const = 0;
    // Frame index (0-based) decoded as a Format_RGB32 image, top row first; a null image when
    // the index is out of range or the frame cannot be read.
    virtual QImage frame(int index) = 0;
};

// What the AVI module offers. The module owns the one instance; it lives as long as the process.
class AviLibrary {
public:
    // The encoders present in this build that an AVI file can hold and that encode any frame size,
    // in the order the codec dialog lists them. Computed once.
    virtual const std::vector<AviEncoder>& encoders() = 0;
    // The entry of encoders() with this name, or nullptr.
    const AviEncoder* findEncoder(const std::string& name) { return ::findEncoder(encoders(), name); }

    // nullptr with status FileError when the file cannot be opened or is not an AVI file,
    // NoVideoStream when it holds no decodable video stream.
    virtual std::unique_ptr<AviSource> openSource(const std::string& path, AviSource::Status& status) = 0;

    // Encodes every frame of source (opened by this library) with options.encoder into a new AVI
    // file at destination, one frame in memory at a time. progress is called with the percentage
    // done (0..100) as frames are written; a non-zero return stops the save. Returns 0 on success
    // and non-zero on failure or when stopped; a partly written destination is left for the caller
    // to delete.
    virtual int save(const std::string& destination, AviSource& source, const AviSaveOptions& options,
                     const std::function<int(int)>& progress) = 0;

    // The codec dialog, modal and owned by owner, starting from options. OK stores the choice in
    // options (the uncompressed entry stores kUncompressedHandler); cancel leaves them unchanged.
    virtual void chooseOptions(QWidget* owner, AviSource& source, AviSaveOptions& options) = 0;

protected:
    ~AviLibrary() = default;
};

// The module's one exported function, named kAviLibraryEntry: its library, or nullptr when the
// module was built for another version of this interface.
using AviLibraryEntry = AviLibrary* (*)(int interfaceVersion);
inline constexpr char kAviLibraryEntry[] = "kadrelAviLibrary";
// Raised whenever a change here makes an older module unusable.
inline constexpr int kAviLibraryVersion = 1;
