#pragma once

#include <QString>

// Opens a document with the program the desktop associates with its type.
class DocumentOpener {
public:
    virtual ~DocumentOpener() = default;
    virtual void open(const QString& path) = 0;
};

class DesktopDocumentOpener final : public DocumentOpener {
public:
    void open(const QString& path) override;
};
