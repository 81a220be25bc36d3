// Writes the icon at every drawn size as hicolor/NxN/apps/NAME.png under a folder: the images a
// desktop shows in its menus and docks are the ones the window uses.
#include "WindowIcon.h"

#include <QDir>

#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s OUTPUT-DIR ICON-NAME\n", argv[0]);
        return 2;
    }
    // Painting into a QImage needs no display and no application object.
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (const int size : WindowIcon::Sizes) {
        const QString folder = QStringLiteral("hicolor/%1x%1/apps").arg(size);
        if (!out.mkpath(folder) ||
            !WindowIcon::drawn(size).save(
                out.filePath(folder + QLatin1Char('/') + name + QLatin1String(".png")), "PNG")) {
            std::fprintf(stderr, "cannot write the %dx%d icon under %s\n", size, size, argv[1]);
            return 1;
        }
    }
    return 0;
}
