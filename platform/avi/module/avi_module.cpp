// The AVI module's entry point: the AviLibrary of the FFmpeg this module was built with.
#include <QtGlobal>
#include <cerrno>

#include "platform/avi/module/avi_ffmpeg.h"
#include "platform/avi/module/codec_dialog.h"

namespace {

class FfmpegAviLibrary final : public AviLibrary {
public:
    const std::vector<AviEncoder>& encoders() override { return aviEncoders(); }

    std::unique_ptr<AviSource> openSource(const std::string& path, AviSource::Status& status) override {
        return FfmpegAviSource::open(path, status);
    }

    int save(const std::string& destination, AviSource& source, const AviSaveOptions& options,
             const std::function<int(int)>& progress) override {
        auto* own = dynamic_cast<FfmpegAviSource*>(&source);
        return own ? aviSave(destination, *own, options, progress) : AVERROR(EINVAL);
    }

    void chooseOptions(QWidget* owner, AviSource& source, AviSaveOptions& options) override {
        CodecDialog dialog(owner, source, options);
        if (dialog.exec() == QDialog::Accepted) options = dialog.options();
    }
};

}  // namespace

extern "C" Q_DECL_EXPORT AviLibrary* kadrelAviLibrary(int interfaceVersion) {
    static FfmpegAviLibrary library;
    return interfaceVersion == kAviLibraryVersion ? &library : nullptr;
}
