// The entry routine: the application, the main window (whose creation may
// hand the file to a running instance and end here), the about box, the
// playlist editor, and the message loop.
#include <QApplication>
#include <QSocketNotifier>

#include "about.h"
#include "desktop_icon.h"
#include "mainform.h"
#include "mpris.h"
#include "os.h"
#include "playlist.h"
#include "sdl_device.h"
#include "services.h"
#include "system_clock.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // Outlives the windows, so a late request never pokes a closed channel.
    const sonivel::WakeChannel termination;
    QApplication::setApplicationName("Sonivel");
    QApplication::setOrganizationName("Korvath");
    QApplication::setDesktopFileName("sonivel");
    QApplication::setWindowIcon(sonivel::ProgramIcon());

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
    sonivel::StartMprisService(mainForm);
    // A termination request (logging out, kill) closes the window the normal
    // way, so the settings are saved and a save in progress is finished.
    if (sonivel::ForwardTerminationTo(termination)) {
        auto* notifier = new QSocketNotifier(termination.ReadEnd(), QSocketNotifier::Read, &mainForm);
        QObject::connect(notifier, &QSocketNotifier::activated, &mainForm, [&mainForm, &termination] {
            termination.Drain();
            mainForm.close();
        });
    }
    mainForm.show();
    return QApplication::exec();
}
