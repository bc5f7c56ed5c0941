// The player without a window: intents in, the model, the playlist and the
// commands for the render thread out.
#include <QSignalSpy>
#include <QtTest>
#include <functional>

#include "player.h"
#include "playlist_rules.h"
#include "texts.h"

using namespace sonivel;

// The player as a person finds it before acting.
struct Start {
    QStringList entries;
    QString current;
    bool playing = false;
    bool timeShown = false;
    int bar = 0;
};

static Player* Make(const Start& s, QObject* parent) {
    auto* player = new Player(parent);
    if (!s.entries.isEmpty()) {
        player->OpenFiles(s.entries, false, false);
        if (!s.current.isEmpty()) {
            // Stepped to `current` as the person would.
            while (player->Model().CurrentFile() != s.current) player->RequestStep(true);
        }
    }
    player->SetPlaying(s.playing);
    player->SetTimeShown(s.timeShown);
    player->ShowBarAt(s.bar);
    while (player->Channel().Take()) {
    }
    return player;
}

// A command as the render thread takes it, in one line.
static QString Taken(Player& player) {
    const std::optional<CommandRequest> c = player.Channel().Take();
    if (!c) return "none";
    QString text = QString::number(c->code);
    if (c->code == kCmdPlayStop) text += " intent " + QString::number(static_cast<int>(c->intent));
    if (c->code == kCmdRestart) text += " from " + QString::number(c->startPosition);
    if (c->code == kCmdNextTrack || c->code == kCmdPreviousTrack) text += c->sawPlaying ? " seen playing" : " seen idle";
    if (c->setup) {
        text += " | " + QString::fromStdString(c->setup->file) + " at " + QString::number(c->setup->position);
        if (!c->setup->saveTarget.empty()) text += " to " + QString::fromStdString(c->setup->saveTarget);
        if (c->setup->listed) text += " listed";
        if (!c->setup->choice.rate44100) text += " 22050";
    }
    return text;
}

class PlayerTest : public QObject {
    Q_OBJECT

private slots:
    void init() { CurrentLanguage().store(kEnglish); }

    // Each intent: the command it gives (with the set-up it brings), the
    // file then current and where the bar stands.
    void intentsGiveCommands() {
        const QStringList abc{"/m/A.wav", "/m/B.wav", "/m/C.wav"};
        struct Case {
            const char* name;
            Start start;
            std::function<void(Player&)> act;
            QString command, current;
            int bar;
        };
        const Case cases[] = {
            {"play", {abc, "/m/B.wav", false, false, 300}, [](Player& p) { p.RequestPlaying(true); },
             "1 intent 1 | /m/B.wav at 300 listed", "/m/B.wav", 300},
            {"stop", {abc, {}, true}, [](Player& p) { p.RequestPlaying(false); }, "1 intent 2", "/m/A.wav", 0},
            {"play at the end brings the bar back", {{"/m/A.wav"}, {}, false, true, 1000},
             [](Player& p) { p.RequestPlaying(true); }, "none", "/m/A.wav", 0},
            {"rewind while playing", {{"/m/A.wav"}, {}, true, true, 400}, [](Player& p) { p.RequestRewind(); },
             "1 intent 2", "/m/A.wav", 0},
            {"rewind idle", {{"/m/A.wav"}, {}, false, true, 400}, [](Player& p) { p.RequestRewind(); }, "none",
             "/m/A.wav", 0},
            {"next while playing", {abc, "/m/B.wav", true, true, 400}, [](Player& p) { p.RequestStep(true); },
             "4 seen playing | /m/C.wav at 0 listed", "/m/C.wav", 0},
            {"previous idle wraps", {abc, {}, false, false, 0}, [](Player& p) { p.RequestStep(false); },
             "5 seen idle | /m/C.wav at 0 listed", "/m/C.wav", 0},
            {"a bar let go restarts", {{"/m/A.wav"}, {}, true, true}, [](Player& p) { p.MoveBar(500, false); },
             "2 from 500 | /m/A.wav at 500", "/m/A.wav", 500},
            {"a held bar only moves", {{"/m/A.wav"}, {}, true, true}, [](Player& p) { p.MoveBar(500, true); },
             "none", "/m/A.wav", 500},
            {"no time shown: nothing restarts", {{"/m/A.wav"}, {}, true, false},
             [](Player& p) { p.MoveBar(500, false); }, "none", "/m/A.wav", 500},
            {"a seek from the media controls", {{"/m/A.wav"}, {}, true, true}, [](Player& p) { p.SeekTo(700); },
             "2 from 700 | /m/A.wav at 700", "/m/A.wav", 700},
            {"the output changed while playing", {{"/m/A.wav"}, {}, true, true, 200},
             [](Player& p) {
                 OutputChoice c = p.Model().Output();
                 c.rate44100 = false;
                 p.SetOutput(c);
             },
             "2 from 200 | /m/A.wav at 200 22050", "/m/A.wav", 200},
            {"the output changed idle", {{"/m/A.wav"}, {}, false, true, 200},
             [](Player& p) { p.SetOutput(OutputChoice{}); }, "none", "/m/A.wav", 200},
            {"save", {{"/m/A.wav"}, {}, false, false, 0}, [](Player& p) { p.Save("/out/x.wav"); }, "3 | /m/A.wav at 0 to /out/x.wav",
             "/m/A.wav", 0},
            {"names opened to play", {{"/m/A.wav"}, {}, true, true, 600},
             [](Player& p) { p.OpenFiles({"/n/1.wav", "/n/2.wav"}, true, false); },
             "1 intent 3 | /n/1.wav at 0 listed", "/n/1.wav", 0},
            {"names handed over join", {{"/m/A.wav"}, {}, true, true, 600},
             [](Player& p) { p.OpenFiles({"/m/A.wav", "/n/2.wav"}, true, true); },
             "1 intent 3 | /m/A.wav at 0 listed", "/m/A.wav", 0},
            {"a list finished while playing", {abc, "/m/C.wav", true, true, 600}, [](Player& p) { p.FinishList(); },
             "1 intent 2", "/m/A.wav", 0},
        };
        for (const Case& c : cases) {
            QObject owner;
            Player& p = *Make(c.start, &owner);
            c.act(p);
            const QString got = Taken(p);
            QVERIFY2(got == c.command, qPrintable(QString(c.name) + ": " + got));
            QVERIFY2(p.Model().CurrentFile() == c.current, c.name);
            QVERIFY2(p.Model().BarPosition() == c.bar, c.name);
        }
    }

    void sequencingRules() {
        const QStringList list{"/m/A.wav", "/m/B.wav", "/m/C.wav"};
        QCOMPARE(StepIndex(list, {}, "/m/B.wav", true), 2);
        QCOMPARE(StepIndex(list, {}, "/m/C.wav", true), 0);   // wraps
        QCOMPARE(StepIndex(list, {}, "/m/A.wav", false), 2);  // wraps back
        QCOMPARE(StepIndex(list, "/m/A.wav", "/m/C.wav", true), 1);  // counted from the file shown
        QCOMPARE(StepIndex(list, "/gone.wav", "/m/B.wav", false), 0);  // not listed: from the current one
        QCOMPARE(StepIndex(list, {}, "/elsewhere.wav", true), 0);
        QCOMPARE(StepIndex(list, {}, "/elsewhere.wav", false), 2);
        QCOMPARE(StepIndex(list, {}, "/m/a.wav", true), 0);  // another file on Linux
        QCOMPARE(StepIndex({}, {}, "/m/A.wav", true), -1);
        const std::vector<std::string> bytes{"/m/A.wav", "/m/B.wav", "/m/C.wav"};
        QCOMPARE(FollowingIndex(bytes, "/m/A.wav", false), 1);
        QCOMPARE(FollowingIndex(bytes, "/m/C.wav", false), -1);
        QCOMPARE(FollowingIndex(bytes, "/m/C.wav", true), 0);
        QCOMPARE(FollowingIndex(bytes, "/elsewhere.wav", true), -1);
        QCOMPARE(FollowingIndex(bytes, "/M/B.WAV", true), -1);  // exact comparison
        QCOMPARE(FollowingIndex({}, "/m/A.wav", true), -1);
        // Duplicates: the first of them counts.
        QCOMPARE(FollowingIndex({"/m/A.wav", "/m/B.wav", "/m/A.wav"}, "/m/A.wav", false), 1);
    }

    // Steps and a track's end move the current entry, and the list marks it.
    void trackSequencing() {
        Player p;
        p.AppendEntries({"/m/A.wav", "/m/B.wav", "/m/C.wav"});
        const auto step = [&](const QString& from, bool next) {
            p.Model().SetCurrentFile(from);
            p.RequestStep(next);
            const QString& now = p.Model().CurrentFile();
            return p.Playlist().CurrentRow() == p.Playlist().Entries().indexOf(now) ? now : QString("not marked");
        };
        QCOMPARE(step("/m/B.wav", true), QString("/m/C.wav"));
        QCOMPARE(step("/m/B.wav", false), QString("/m/A.wav"));
        QCOMPARE(step("/m/C.wav", true), QString("/m/A.wav"));
        QCOMPARE(step("/m/A.wav", false), QString("/m/C.wav"));
        QCOMPARE(step("/M/b.WAV", true), QString("/m/A.wav"));  // another file: not in the list
        QCOMPARE(step("/elsewhere.wav", false), QString("/m/C.wav"));

        // What follows a track is the plan the player publishes in the
        // channel, which the render thread reads at the track's end: after
        // a change of the list soon, and before any command.
        const auto follows = [&](const QString& from) {
            const std::optional<RunSetup> next = p.Channel().Following(from.toStdString());
            return next ? QString::fromStdString(next->file) + (next->listed && next->position == 0 ? "" : " not from the start")
                        : QString("none");
        };
        QCOMPARE(follows("/m/B.wav"), QString("/m/C.wav"));  // published with the steps' commands
        QCOMPARE(follows("/m/C.wav"), QString("none"));
        p.SetAutoRepeat(true);
        QCOMPARE(follows("/m/C.wav"), QString("none"));  // not yet published
        p.RequestPlaying(true);
        QCOMPARE(follows("/m/C.wav"), QString("/m/A.wav"));
        p.SetEntries({"/m/A.wav", "/m/B.wav", "/m/A.wav"});
        QCOMPARE(follows("/m/B.wav"), QString("/m/C.wav"));  // the list before, until published
        QCoreApplication::processEvents();
        QCOMPARE(follows("/m/B.wav"), QString("/m/A.wav"));
        QCOMPARE(follows("/m/A.wav"), QString("/m/B.wav"));

        // The thread tells where it went; the entry becomes current while
        // the track that ended still is, and no command came after the
        // report (that command is for the track the person saw).
        p.SetEntries({"/m/A.wav", "/m/B.wav", "/m/C.wav"});
        p.Model().SetCurrentFile("/m/A.wav");
        while (p.Channel().Take()) {
        }
        const std::uint32_t taken = p.Channel().TakenSerial();
        p.TrackAdvanced("/m/B.wav", "/m/C.wav", false, taken);
        QCOMPARE(p.Model().CurrentFile(), QString("/m/A.wav"));
        p.TrackAdvanced("/m/A.wav", "/m/B.wav", false, taken - 1);
        QCOMPARE(p.Model().CurrentFile(), QString("/m/A.wav"));
        p.TrackAdvanced("/m/A.wav", "", false, taken);
        QCOMPARE(p.Model().CurrentFile(), QString("/m/A.wav"));
        p.TrackAdvanced("/m/A.wav", "/m/B.wav", false, taken);
        QCOMPARE(p.Model().CurrentFile(), QString("/m/B.wav"));
        QCOMPARE(p.Playlist().CurrentRow(), 1);
        QVERIFY(!p.Model().TimeShown());
        p.TrackAdvanced("/m/B.wav", "/m/C.wav", true, taken);
        QCOMPARE(p.Model().CurrentFile(), QString("/m/C.wav"));
        QVERIFY(p.Model().TimeShown());  // a joined track sounds already
    }

    // Editing the list: what stays loaded, what is refused, and a listed
    // file that could not play leaving it.
    void editingTheList() {
        Player p;
        QSignalSpy refused(&p, &Player::NamesRefused);
        QSignalSpy finished(&p, &Player::ListFinished);
        p.OpenOne("/m/one.wav");
        p.AddNames({"/m/one.wav", "/m/two\nlines.wav", "/m/A.wav", "/m/a.wav", "/m/A.wav"});
        QCOMPARE(p.Playlist().Entries(), (QStringList{"/m/one.wav", "/m/A.wav", "/m/a.wav"}));
        QCOMPARE(refused.size(), 1);
        QCOMPARE(refused[0][0].toStringList(), QStringList{"/m/two\nlines.wav"});
        QVERIFY(p.SeveralTracks());

        // A.wav and a.wav are two files; only the one that failed goes, and
        // the first entry is loaded.
        p.Model().SetCurrentFile("/m/a.wav");
        p.DropUnopenable("/m/a.wav");
        QCOMPARE(p.Playlist().Entries(), (QStringList{"/m/one.wav", "/m/A.wav"}));
        QCOMPARE(p.Model().CurrentFile(), QString("/m/one.wav"));
        QVERIFY(p.Model().Loaded());
        QCOMPARE(finished.size(), 1);

        // An empty list finished leaves the file as it was.
        p.Playlist().Clear();
        p.FinishList();
        QCOMPARE(p.Model().CurrentFile(), QString("/m/one.wav"));
        QVERIFY(p.Model().Loaded());
        // Removing every entry (an empty list counts as every entry) is
        // the no-file state.
        p.RemoveEntries({});
        QVERIFY(!p.Model().Loaded());
        QCOMPARE(p.Playlist().CurrentRow(), -1);
        p.SetEntries({"/m/x.wav", "/m/y.wav"});
        p.RemoveEntries({1});
        QCOMPARE(p.Playlist().Entries(), QStringList{"/m/x.wav"});
        p.RemoveEntries({0});
        QCOMPARE(p.Playlist().Count(), 0);
        QVERIFY(!p.Model().Loaded());
    }
};

QTEST_GUILESS_MAIN(PlayerTest)
#include "player_test.moc"
