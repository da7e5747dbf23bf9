#include "capture_window/ui/program_font.h"

QFont programFont() {
    QFont font(QStringLiteral("IPAPGothic"));
    font.setPixelSize(12);
    // Where the font is missing, another proportional sans serif stands in.
    font.setStyleHint(QFont::SansSerif);
    return font;
}
