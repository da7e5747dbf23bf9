// Writes the program's icon for the desktop's menus: kadrel.png at 48 px and kadrel.svg, drawn from
// the same shapes as the icon the running program shows.
#include <QFile>
#include <cstdio>

#include "app/program_icon.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]) + QLatin1Char('/');
    if (!programIconImage(48).save(folder + QStringLiteral("kadrel.png"), "PNG")) {
        std::fprintf(stderr, "cannot write %s/kadrel.png\n", argv[1]);
        return 1;
    }
    QFile svg(folder + QStringLiteral("kadrel.svg"));
    const QByteArray text = programIconSvg().toUtf8();
    if (!svg.open(QIODevice::WriteOnly) || svg.write(text) != text.size() || !svg.flush()) {
        std::fprintf(stderr, "cannot write %s/kadrel.svg\n", argv[1]);
        return 1;
    }
    svg.close();
    return svg.error() == QFileDevice::NoError ? 0 : 1;
}
