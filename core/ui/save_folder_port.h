#pragma once

#include <functional>

// The save-folder chooser, for a feature that cannot go on without a save folder.
class SaveFolderPort {
public:
    virtual ~SaveFolderPort() = default;
    // Opens the chooser over the frame, which waits disabled until it closes. chosen runs once a
    // folder is stored and the chooser has closed; closed without one, chosen is dropped.
    virtual void askForFolder(std::function<void()> chosen) = 0;
};
