// Renders the program's picture (the one the version dialog shows) as the desktop icon: one PNG
// per size of the hicolor icon theme, each drawn at its own size so that small ones stay sharp.
// Usage: programicon <theme folder> <icon name> <size>...
// writes <theme folder>/<size>x<size>/apps/<icon name>.png for every size.
#include <QDir>
#include <QImage>
#include <cstdio>

#include "dialogs/frVer.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s <theme folder> <icon name> <size>...\n", argv[0]);
        return 2;
    }
    // Painting into an image needs no application object, and so no display.
    const QString theme = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int i = 3; i < argc; ++i) {
        bool ok = false;
        const int size = QString::fromLatin1(argv[i]).toInt(&ok);
        if (!ok || size < 1 || size > 1024) {
            std::fprintf(stderr, "programicon: not a size: %s\n", argv[i]);
            return 2;
        }
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(theme).arg(size);
        QImage image = RenderProgramIcon(size / 64.0);
        image.setDevicePixelRatio(1.0);
        const QString file = QStringLiteral("%1/%2.png").arg(folder, name);
        if (image.width() != size || !QDir().mkpath(folder) || !image.save(file, "PNG")) {
            std::fprintf(stderr, "programicon: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
