// Writes the program icon as PNG files for the hicolor icon theme, one per
// size, from the same drawing the window uses:
//   reelcap-icon-png OUTPUT-FOLDER SIZE...
// makes OUTPUT-FOLDER/SIZExSIZE/apps/reelcap.png. Run by the build; the files
// are installed beside the scalable icon.
#include <QDir>
#include <QImage>
#include <cstdio>
#include <cstdlib>

#include "res/icons.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: reelcap-icon-png OUTPUT-FOLDER SIZE...\n", stderr);
        return 2;
    }
    // Shapes on a QImage need no application object and no screen (the build
    // machine may have none); the icon has no text.
    const QString root = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size < 1 || size > 1024) {
            std::fprintf(stderr, "reelcap-icon-png: %s is not a size from 1 to 1024\n", argv[i]);
            return 2;
        }
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(root).arg(size);
        if (!QDir().mkpath(folder) || !AppIconImage(size).save(folder + QStringLiteral("/reelcap.png"), "PNG")) {
            std::fprintf(stderr, "reelcap-icon-png: cannot write %s/reelcap.png\n", folder.toLocal8Bit().constData());
            return 1;
        }
    }
    return 0;
}
