#pragma once

#include <QObject>
#include <QString>
#include <functional>

// Opens a document with the program the desktop associates with its type.
class DocumentOpener {
public:
    virtual ~DocumentOpener() = default;
    // Starts opening path and returns at once. failed runs later, from the event loop, when no
    // program could open the document; it never runs once the opener is gone.
    virtual void open(const QString& path, std::function<void()> failed) = 0;
};

// Opens documents through the desktop's opener, xdg-open, whose exit status says whether a
// program took the document.
class DesktopDocumentOpener final : public DocumentOpener {
public:
    void open(const QString& path, std::function<void()> failed) override;

private:
    // Receives the reports of the openers started; they themselves outlive this object, so that
    // a viewer they started stays open when the program ends.
    QObject m_receiver;
};
