#include "still/ui/print_command.h"

#include <QFile>
#include <QPageSize>
#include <QPrinter>
#include <QProcess>

#include "program_fixture.h"
#include "settings/ui/settings_dialog.h"

namespace {

// Margins of the test pages, in points; at 72 dpi a point is a printer pixel.
constexpr int kLeft = 10, kTop = 20, kRight = 5, kBottom = 5;

// Answers the print dialog: confirms a 72 dpi PDF printer whose printable area is `page`, or cancels.
class PdfPrintDialog final : public PrintDialogPort {
public:
    bool exec(QPrinter& printer, QWidget*) override {
        ++opened;
        if (!confirm) return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        printer.setResolution(72);
        printer.setPageSize(
            QPageSize(page + QSize(kLeft + kRight, kTop + kBottom), QString(), QPageSize::ExactMatch));
        printer.setPageMargins(QMarginsF(kLeft, kTop, kRight, kBottom), QPageLayout::Point);
        return true;
    }
    bool confirm = true;
    QString path;
    QSize page;
    int opened = 0;
};

class PrintCommandTest : public ProgramTest {
protected:
    void SetUp() override {
        printDialog = &dialog;
        start();
        dialog.path = dir.filePath(QStringLiteral("page.pdf"));
    }
    void print() {
        QFile::remove(dialog.path);
        choose(FrameCommand::Print);
        EXPECT_FALSE(form().isEnabled());
        EXPECT_FALSE(form().isVisible());
        ASSERT_TRUE(waitUntil([&] { return form().isEnabled() && form().isVisible(); }));
    }
    // The printed page inside crop, in printer pixels. Cairo draws an image 1:1 where poppler's own
    // rasteriser widens it by a pixel, so pdftocairo is the oracle.
    QImage raster(const QRect& crop) {
        const QString prefix = dir.filePath(QStringLiteral("page"));
        QProcess rasteriser;
        rasteriser.start(
            QStringLiteral("pdftocairo"),
            {"-r", "72", "-antialias", "none", "-png", "-singlefile", "-x", QString::number(crop.x()), "-y",
             QString::number(crop.y()), "-W", QString::number(crop.width()), "-H",
             QString::number(crop.height()), dialog.path, prefix});
        if (!rasteriser.waitForFinished(60000) || rasteriser.exitCode() != 0) return {};
        return QImage(prefix + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
    }
    // The screen area `grabbed` (black off the screen) stands nearest-pixel stretched to `printed` at the
    // printable area's top-left: checked pixel for pixel in both corners, with white paper around.
    void expectPrinted(const QRect& grabbed, QSize printed) {
        const auto source = [&](int dx, int dy) {
            const QPoint p =
                grabbed.topLeft() + QPoint(int(std::int64_t(dx) * grabbed.width() / printed.width()),
                                           int(std::int64_t(dy) * grabbed.height() / printed.height()));
            return QRect(0, 0, 1920, 1080).contains(p) ? Backdrop::colorAt(p.x(), p.y()).rgb()
                                                       : qRgb(0, 0, 0);
        };
        const QSize corner(std::min(printed.width(), 160), std::min(printed.height(), 160));
        const QRect area(QPoint(kLeft, kTop), printed);
        for (const QRect crop : {QRect(QPoint(0, 0), corner + QSize(kLeft, kTop)),
                                 QRect(area.bottomRight() - QPoint(corner.width() - 1, corner.height() - 1),
                                       corner + QSize(4, 4))}) {
            const QImage part = raster(crop);
            ASSERT_EQ(part.size(), crop.size());
            int wrong = 0;
            for (int y = crop.top(); y <= crop.bottom(); ++y)
                for (int x = crop.left(); x <= crop.right(); ++x)
                    wrong += part.pixel(x - crop.left(), y - crop.top()) !=
                             (area.contains(x, y) ? source(x - kLeft, y - kTop) : qRgb(255, 255, 255));
            EXPECT_EQ(wrong, 0) << "crop at " << crop.x() << ", " << crop.y();
        }
    }

    PdfPrintDialog dialog;
};

TEST_F(PrintCommandTest, PrintsTheUnscaledGrabAtTheTopLeftOfThePrintableArea) {
    program->state.settings.ScalePercent = 50;  // printing ignores it
    const struct {
        const char* name;
        QPoint at;
        QSize client;
        bool wholeScreen;
        int percent;
        QSize page;
        QSize printed;
    } cases[] = {
        {"fits at the default 200 %", {40, 20}, {300, 200}, false, 200, {4960, 7016}, {600, 400}},
        {"110 % rounds up", {40, 20}, {300, 200}, false, 110, {4960, 7016}, {331, 221}},
        {"too wide only", {40, 20}, {1000, 500}, false, 100, {800, 1200}, {800, 400}},
        {"too wide and too tall", {40, 20}, {1000, 1000}, false, 1000, {4000, 6000}, {4000, 4000}},
        {"partly off the screen: not clipped", {-100, -50}, {420, 360}, false, 100, {800, 600}, {420, 360}},
        {"whole screen", {40, 20}, {300, 200}, true, 100, {3000, 2000}, {1920, 1080}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        form().move(c.at);
        form().resize(c.client + QSize(8, 27));
        waitUntil([&] { return QSize(form().clientWidth(), form().clientHeight()) == c.client; });
        ASSERT_EQ(QSize(form().clientWidth(), form().clientHeight()), c.client);
        program->state.capture.WholeScreen = c.wholeScreen;
        program->state.live.printPercent = c.percent;  // what the settings dialog's field shows
        dialog.page = c.page;
        print();
        expectPrinted(c.wholeScreen ? QRect(0, 0, 1920, 1080) : QRect(form().clientOrigin(), c.client),
                      c.printed);
    }
    EXPECT_TRUE(boxes.errors.isEmpty());
}

TEST_F(PrintCommandTest, CancelAndPrinterErrorsLeaveTheFrameEnabled) {
    dialog.page = {800, 600};
    dialog.confirm = false;
    print();
    EXPECT_EQ(dialog.opened, 1);
    EXPECT_FALSE(QFile::exists(dialog.path));
    EXPECT_TRUE(boxes.errors.isEmpty());

    dialog.confirm = true;
    dialog.path = QStringLiteral("/proc/self/page.pdf");  // cannot be written
    print();
    EXPECT_EQ(boxes.errors, QStringList{QStringLiteral("印刷できません")});
    EXPECT_FALSE(program->printCommand->grabDelay.isActive());
}

}  // namespace
