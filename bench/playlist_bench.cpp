// Adding many files to the playlist: a drop of N files onto the editor's
// list, the same drop again (every name already there), and Add all over a
// folder of N wave files. Each is timed beside the list control alone taking
// the same names (the floor no playlist can beat), in the same run.
//
//   QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy build/release/bench/playlist_bench [N]
//
// Runs with settings and runtime folders of its own under a temporary home.
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <cstdio>
#include <cstdlib>

#include "mainform.h"
#include "mpris.h"
#include "playlist.h"
#include "sdl_device.h"
#include "services.h"
#include "system_clock.h"

namespace {

using namespace sonivel;

// Boxes are answered at once; file dialogs are cancelled.
class QuietServices final : public UiServices {
public:
    void Message(QWidget*, const QString&, const QString&, Icon) override {}
    void MessageAsync(QWidget*, const QString&, const QString&, Icon, std::function<void()> closed) override { closed(); }
    bool Question(QWidget*, const QString&, const QString&) override { return true; }
    void QuestionAsync(QWidget*, const QString&, const QString&, std::function<void(bool)> answered) override {
        answered(true);
    }
    QString OpenFile(QWidget*, const QString&, const QString&, const QString&, const QString&) override { return {}; }
    QString SaveFile(QWidget*, const QString&, const QString&, const QString&, const QString&) override { return {}; }
};

double Drop(QWidget* target, const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    QElapsedTimer t;
    t.start();
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    QApplication::processEvents();  // the queued reactions (media keys' state) count too
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    for (const char* sub : {"config", "data", "runtime"}) QDir().mkpath(home.path() + "/" + sub);
    QFile::setPermissions(home.path() + "/runtime", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    setenv("XDG_CONFIG_HOME", qPrintable(home.path() + "/config"), 1);
    setenv("XDG_DATA_HOME", qPrintable(home.path() + "/data"), 1);
    setenv("XDG_RUNTIME_DIR", qPrintable(home.path() + "/runtime"), 1);
    QApplication app(argc, argv);
    const int n = argc > 1 ? std::atoi(argv[1]) : 20000;

    QuietServices services;
    SdlDevice device;
    SystemClock clock;
    MainFormDeps deps;
    deps.services = &services;
    deps.device = &device;
    deps.clock = &clock;
    deps.handoffWaitMs = 0;
    TMainForm main(deps, {});
    if (!main.FormCreate()) return 1;
    TPlaylistForm editor(main.Player(), services, &main);
    main.SetWindows(nullptr, &editor);
    StartMprisService(main);  // with a session bus, its reactions are timed too
    main.show();

    QList<QUrl> urls;
    QStringList names;
    for (int i = 0; i < n; ++i) {
        const QString name = QString("/music/collection/tape %1/track %2.wav").arg(i / 100).arg(i);
        names << name;
        urls << QUrl::fromLocalFile(name);
    }
    QElapsedTimer t;
    t.start();
    {
        QListWidget floor;
        floor.addItems(names);
    }
    const double floorMs = static_cast<double>(t.nsecsElapsed()) / 1e6;

    const double first = Drop(editor.Playlist->viewport(), urls);
    const int afterFirst = editor.Count();
    const double again = Drop(editor.Playlist->viewport(), urls);
    const int afterAgain = editor.Count();

    editor.Button2Click();
    QDir().mkpath(home.path() + "/many");
    for (int i = 0; i < n; ++i) {
        QFile f(home.path() + QString("/many/track %1.wav").arg(i));
        f.open(QIODevice::WriteOnly);
    }
    editor.GoToFolder(home.path() + "/many");
    t.restart();
    editor.Button1Click();
    QApplication::processEvents();
    const double addAll = static_cast<double>(t.nsecsElapsed()) / 1e6;

    // The same folder dropped as one: on the editor (its wave files join),
    // and on the window (they become the playlist).
    const int afterAddAll = editor.Count();
    editor.Button2Click();
    const QList<QUrl> folder{QUrl::fromLocalFile(home.path() + "/many")};
    const double folderOnEditor = Drop(editor.Playlist->viewport(), folder);
    const int afterFolder = editor.Count();
    const double folderOnWindow = Drop(&main, folder);
    const int afterWindow = editor.Count();

    std::printf("%d names; the list control alone takes them in %.1f ms\n", n, floorMs);
    std::printf("drop onto the playlist   %8.1f ms  %5.1fx the list alone  (%d entries)\n", first, first / floorMs,
                afterFirst);
    std::printf("same drop again          %8.1f ms  %5.1fx  (%d entries)\n", again, again / floorMs, afterAgain);
    std::printf("Add all over the folder  %8.1f ms  %5.1fx  (%d entries)\n", addAll, addAll / floorMs, afterAddAll);
    std::printf("folder dropped on editor %8.1f ms  %5.1fx  (%d entries)\n", folderOnEditor, folderOnEditor / floorMs,
                afterFolder);
    std::printf("folder dropped on window %8.1f ms  %5.1fx  (%d entries)\n", folderOnWindow, folderOnWindow / floorMs,
                afterWindow);
    std::printf("in all                   %8.1f ms\n", first + again + addAll + folderOnEditor + folderOnWindow);
    return afterFirst == n && afterAgain == n && afterAddAll == n && afterFolder == n && afterWindow == n ? 0 : 1;
}
