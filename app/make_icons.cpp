// Renders the program icon as PNG files for the icon theme.
//   make_icons FOLDER   ->  FOLDER/<n>x<n>/apps/sonivel.png
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "desktop_icon.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) return 2;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QString("%1/%2x%2/apps").arg(argv[1]).arg(size);
        QDir().mkpath(folder);
        if (!sonivel::DrawProgramIcon(size).save(folder + "/sonivel.png", "PNG")) return 1;
    }
    return 0;
}
