#pragma once

#include <QTimer>
#include <functional>
#include <string>

#include "fakes/avi_module.h"
#include "platform/avi/avi_library.h"
#include "platform/avi/codec_chooser.h"

// Chooses without a dialog; also lets a test act while the re-save runs.
class ScriptedCodecs final : public CodecChooser {
public:
    void chooseOptions(QWidget*, AviSource& source, AviSaveOptions& options) override {
        ++calls;
        sourceFrames = source.frameCount();
        if (whenAsked) whenAsked();
        if (!encoder.empty()) {
            options.fccHandler = aviLibrary().findEncoder(encoder)->fourcc;
            options.encoder = encoder;
        }
        if (duringSave) QTimer::singleShot(0, duringSave);
    }
    std::string encoder;              // empty: leave the options as given (cancel)
    std::function<void()> whenAsked;  // runs while the dialog would be open
    std::function<void()> duringSave;
    int calls = 0;
    int sourceFrames = -1;
};
