// The entry routine: the application, the main window (whose creation may
// hand the file to a running instance and end here), the about box, the
// playlist editor, and the message loop.
#include <QApplication>
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

#include "about.h"
#include "desktop_icon.h"
#include "mainform.h"
#include "mpris.h"
#include "playlist.h"
#include "sdl_device.h"
#include "services.h"
#include "system_clock.h"

namespace {

// A termination request (logging out, kill) closes the window the normal way,
// so the settings are saved and a save in progress is finished.
int signalPipe[2] = {-1, -1};

void OnTerminate(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(signalPipe[1], &byte, 1);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
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
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) == 0) {
        auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &mainForm);
        QObject::connect(notifier, &QSocketNotifier::activated, &mainForm, [&mainForm] {
            char byte;
            [[maybe_unused]] const ssize_t n = read(signalPipe[0], &byte, 1);
            mainForm.close();
        });
        struct sigaction action {};
        action.sa_handler = OnTerminate;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGTERM, &action, nullptr);
        sigaction(SIGINT, &action, nullptr);
    }
    mainForm.show();
    return QApplication::exec();
}
