// How AviMovieWriter asks for the re-compression options of one stream.
#pragma once

#include "platform/avi/avi_library.h"
#include "platform/avi/avi_library_loader.h"

// Fills AviSaveOptions for one stream. An interface so that tests and benchmarks can choose
// without a dialog.
class CodecChooser {
public:
    virtual ~CodecChooser() = default;
    // Shows the choice modally, owned by owner, starting from options. OK stores the choice in
    // options (the uncompressed entry stores kUncompressedHandler); cancel leaves them unchanged.
    virtual void chooseOptions(QWidget* owner, AviSource& source, AviSaveOptions& options) = 0;
};

// The codec dialog of the AVI module. With no module the options stay as they are.
class QtCodecChooser final : public CodecChooser {
public:
    explicit QtCodecChooser(AviLibraryLoader& avi) : m_avi(avi) {}
    void chooseOptions(QWidget* owner, AviSource& source, AviSaveOptions& options) override {
        if (AviLibrary* library = m_avi.library()) library->chooseOptions(owner, source, options);
    }

private:
    AviLibraryLoader& m_avi;
};
