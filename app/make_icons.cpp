// Renders the program icon as PNG files for the icon theme.
//   make_icons FOLDER   ->  FOLDER/<n>x<n>/apps/sonivel.png
#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QImage>
#include <QPainter>

#include "desktop_icon.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // A build outside a desktop session has no runtime folder: one of its
    // own keeps the toolkit from warning about it in the build's output.
    QTemporaryDir runtime;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && runtime.isValid()) qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    QGuiApplication app(argc, argv);
    if (argc != 2) return 2;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QString("%1/%2x%2/apps").arg(argv[1]).arg(size);
        QDir().mkpath(folder);
        if (!sonivel::DrawProgramIcon(size).save(folder + "/sonivel.png", "PNG")) return 1;
    }
    return 0;
}
