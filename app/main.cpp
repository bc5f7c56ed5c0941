// The entry routine: the application, the main window (whose creation may
// hand the file to a running instance and end here), the about box, the
// playlist editor, and the message loop.
#include <QApplication>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <cstdio>
#include <cstring>

#include "about.h"
#include "desktop_icon.h"
#include "mainform.h"
#include "mpris.h"
#include "os.h"
#include "playlist.h"
#include "auto_device.h"
#include "services.h"
#include "system_clock.h"
#include "texts.h"

namespace {

// What `sonivel --help` prints, in the desktop's language: no window opens
// and no setting is read.
void PrintUsage() {
    const QString settings =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/Korvath/Sonivel.conf";
    const std::string text = sonivel::FormatText(sonivel::kTextUsage, {settings.toStdString()}, sonivel::DesktopLanguage());
    std::fputs(text.c_str(), stdout);
}

// --help and --version are answered before the application starts, so they
// need no display. The first name or "--" ends the options looked at.
int EarlyOption(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0 || argv[i][0] != '-') return -1;
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            PrintUsage();
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Sonivel %s\n", SONIVEL_VERSION);
            return 0;
        }
    }
    return -1;
}

// The names to open: what the toolkit left of the command line (it takes
// its own options, such as -platform), options ended by "--". An option not
// known here is a usage error: never opened as a file.
bool FileArguments(QStringList arguments, QStringList& names) {
    arguments.removeFirst();
    bool optionsEnded = false;
    for (const QString& a : arguments) {
        if (!optionsEnded && a == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && a.startsWith('-') && a != "-") {
            const std::string text =
                sonivel::FormatText(sonivel::kTextUnknownOption, {a.toStdString()}, sonivel::DesktopLanguage());
            std::fprintf(stderr, "%s\n", text.c_str());
            return false;
        } else {
            names << a;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (const int answered = EarlyOption(argc, argv); answered >= 0) return answered;
    QApplication app(argc, argv);
    QStringList arguments;
    if (!FileArguments(QCoreApplication::arguments(), arguments)) return 2;
    // Outlives the windows, so a late request never pokes a closed channel.
    const sonivel::WakeChannel termination;
    QApplication::setApplicationName("Sonivel");
    QApplication::setOrganizationName("Korvath");
    QApplication::setDesktopFileName("sonivel");
    QApplication::setWindowIcon(sonivel::ProgramIcon());

    sonivel::QtUiServices services;
    sonivel::AutoDevice device;
    sonivel::SystemClock clock;
    sonivel::MainFormDeps deps;
    deps.services = &services;
    deps.device = &device;
    deps.clock = &clock;
    deps.programFolder = QCoreApplication::applicationDirPath();

    sonivel::TMainForm mainForm(deps, arguments);
    if (!mainForm.FormCreate()) return 0;
    sonivel::TAboutBox aboutBox(&mainForm);
    sonivel::TPlaylistForm playlistForm(mainForm.Player(), services, &mainForm);
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
