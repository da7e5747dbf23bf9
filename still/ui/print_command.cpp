#include "still/ui/print_command.h"

#include <QDir>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>

#include "core/ui/frame_ports.h"
#include "core/ui/screen_capture.h"
#include "platform/x11/message_box.h"
#include "platform/x11/window_stack.h"
#include "still/logic/print_layout.h"

namespace {
const QString kCannotPrint = QStringLiteral("印刷できません");
// Rows stretched at a time: a page-sized picture at printer resolution never sits in memory whole.
constexpr int kBandRows = 256;

// The frame stays disabled from the command to the end of the print, whichever way that ends.
class EnableOnExit {
public:
    explicit EnableOnExit(QWidget& window) : m_window(window) {}
    ~EnableOnExit() { m_window.setEnabled(true); }
    EnableOnExit(const EnableOnExit&) = delete;
    EnableOnExit& operator=(const EnableOnExit&) = delete;

private:
    QWidget& m_window;
};
}  // namespace

bool QtPrintDialog::exec(QPrinter& printer, QWidget* owner) {
    // No parent: the frame is disabled while it waits, and a child window would be disabled with it.
    QPrintDialog dialog(&printer);
    return window_stack::execInForeground(dialog, owner) == QDialog::Accepted;
}

PrintCommand::PrintCommand(StillFrame& frame, ScreenCapture& screen, const ProgramState& state,
                           MessageBoxes& messages, PrintDialogPort& dialog)
    : m_frame(frame), m_screen(screen), m_state(state), m_messages(messages), m_dialog(dialog) {
    grabDelay.setInterval(screen.frameLeaveDelayMs(100));
    grabDelay.setSingleShot(true);
    connect(&grabDelay, &QTimer::timeout, this, &PrintCommand::takePicture);
}

void PrintCommand::print() {
    m_frame.window().setEnabled(false);
    m_frame.window().hide();
    grabDelay.start();
}

void PrintCommand::takePicture() {
    grabDelay.stop();
    // After the frame is enabled again, so that the box is not disabled with it.
    const QString failure = printPicture();
    if (!failure.isEmpty()) m_messages.error(&m_frame.window(), failure);
}

QString PrintCommand::printPicture() {
    EnableOnExit enable(m_frame.window());
    const QImage screen = m_screen.grabWholeScreen();
    m_frame.window().show();
    window_stack::bringToForeground(&m_frame.window());
    if (screen.isNull()) return grabFailureText(m_screen.lastFailure());
    const QImage image = m_state.capture.WholeScreen ? screen : m_screen.captureRectangle(screen);

    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("Kadrel"));
    if (QPrinterInfo::availablePrinters().isEmpty()) {
        // No printer: the dialog offers a PDF file instead, named here in the documents folder.
        printer.setOutputFormat(QPrinter::PdfFormat);
        QDir folder(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
        if (!folder.exists()) folder = QDir::home();
        printer.setOutputFileName(folder.filePath(QStringLiteral("kadrel.pdf")));
    }
    if (!m_dialog.exec(printer, &m_frame.window())) return {};
    return printOnPage(printer, image) ? QString() : kCannotPrint;
}

bool PrintCommand::printOnPage(QPrinter& printer, const QImage& image) {
    const QSize page = printer.pageLayout().paintRectPixels(printer.resolution()).size();
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    StretchDrawBitmap(painter, printRectangle(image.size(), m_state.live.printPercent, page), image);
    return painter.end();
}

void PrintCommand::StretchDrawBitmap(QPainter& canvas, const QRect& rectangle, const QImage& bitmap) {
    const TransferBuffer buffer = toTransferBuffer(bitmap);
    if (buffer.bits.empty() || rectangle.isEmpty()) return;
    // The pixels go to the printer as they are: no smoothing, and no lossy compression in a PDF.
    canvas.save();
    canvas.setRenderHint(QPainter::SmoothPixmapTransform, false);
    canvas.setRenderHint(QPainter::LosslessImageRendering, true);
    for (int top = 0; top < rectangle.height(); top += kBandRows) {
        const int rows = std::min(kBandRows, rectangle.height() - top);
        const QImage band = stretchTransferRows(buffer, rectangle.size(), top, rows);
        if (!band.isNull()) canvas.drawImage(rectangle.left(), rectangle.top() + top, band);
    }
    canvas.restore();
}
