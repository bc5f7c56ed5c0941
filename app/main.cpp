// The entry routine: the application, the main window (whose creation may
// hand the file to a running instance and end here), the about box, the
// playlist editor, and the message loop.
#include <QApplication>

#include "about.h"
#include "mainform.h"
#include "playlist.h"
#include "sdl_device.h"
#include "services.h"
#include "system_clock.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Sonivel");
    QApplication::setApplicationDisplayName("Sonivel");
    QApplication::setOrganizationName("Korvath");
    QApplication::setDesktopFileName("sonivel");

    sonivel::QtUiServices services;
    sonivel::SdlDevice device;
    sonivel::SystemClock clock;
    sonivel::MainFormDeps deps;
    deps.services = &services;
    deps.device = &device;
    deps.clock = &clock;
    deps.programFolder = QCoreApplication::applicationDirPath();

    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    sonivel::TMainForm mainForm(deps, arguments);
    if (!mainForm.FormCreate()) return 0;
    sonivel::TAboutBox aboutBox(&mainForm);
    sonivel::TPlaylistForm playlistForm(mainForm, services, &mainForm);
    mainForm.SetWindows(&aboutBox, &playlistForm);
    mainForm.show();
    return QApplication::exec();
}
