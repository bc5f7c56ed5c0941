// Player: what a person can do with the player, with no widget in it. It
// holds the player's model, the program's one playlist and the command
// channel to the render thread, and carries out the intents the main
// window, the playlist editor, the media controls and the hand-off give
// alike: open names, play or stop, rewind, seek, step, save, choose the
// output. The windows turn clicks into these intents and draw what it holds
// when its signals say something changed; the render thread's host reports
// into it. Everything here runs on the windows' thread.
#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>

#include "command.h"
#include "player_model.h"
#include "playlist_model.h"

namespace sonivel {

class PlayThread;

class Player : public QObject {
    Q_OBJECT
public:
    explicit Player(QObject* parent = nullptr);

    const PlayerModel& Model() const { return model_; }
    PlayerModel& Model() { return model_; }
    const PlaylistModel& Playlist() const { return playlist_; }
    PlaylistModel& Playlist() { return playlist_; }
    CommandChannel& Channel() { return channel_; }
    // The render thread the commands go to, once it runs: a restart is
    // given only to a run it can restart.
    void AttachThread(const PlayThread* thread) { thread_ = thread; }

    // Opening. One file: it alone is the playlist, loaded from its start.
    void OpenOne(const QString& file);
    // Files given as one choice: the first opened as one file is and all of
    // them the playlist, in order. `join`: they join the playlist instead,
    // and the first becomes current. `play`: it plays, whatever played.
    void OpenFiles(const QStringList& files, bool play, bool join);
    // The playlist holds two files or more: Next and Previous are on.
    bool SeveralTracks() const { return playlist_.Count() > 1; }

    // Playing. At the end of the file the first request to play or stop
    // only brings the bar back.
    void RequestPlaying(bool play);
    void RequestStop();
    // Stops a run and brings the bar to the start.
    void RequestRewind();
    // A step counts from the file the person sees as current: it becomes
    // current at once, and the command brings the entry to the thread,
    // which plays it when the person saw a run going on.
    void RequestStep(bool next);
    // The bar moved by the person's hand to `position`; `held` while it is
    // still held (a drag), when only the time follows it. Let go, a run
    // under way starts again there.
    void MoveBar(int position, bool held);
    // The bar moved as the person would move it (the media controls).
    void SeekTo(int position);
    // The bar moved by the program (a report, a load): nothing restarts.
    void ShowBarAt(int position);
    void SetOutput(const OutputChoice& choice);
    void SetPlayOnSave(bool on);
    void SetAutoRepeat(bool on);
    // Saves the converted sound to `target` (checked by the window).
    void Save(const QString& target);

    // Editing the playlist. Appends names in order as they come; a name a
    // playlist file cannot hold still plays, it is only not listed.
    void AppendEntries(const QStringList& files);
    // Adds the names not yet listed, in order; those a playlist file
    // cannot hold are not added, and NamesRefused names them.
    void AddNames(const QStringList& names);
    // Replaces the whole list (a playlist file opened).
    void SetEntries(const QStringList& files);
    // Empties the list: no file is loaded any more.
    void ClearPlaylist();
    // Removes these entries; all of them is ClearPlaylist.
    void RemoveEntries(const QList<int>& rows);
    // The editing is done with: the first entry becomes current from its
    // start, and the editor closes where it is shown.
    void FinishList();
    // A listed file the render thread could not open leaves the list.
    void DropUnopenable(const QString& file);

    // What the render thread reported. The track `from` ended and the
    // playlist went on to `to` (empty: it stopped there); `joined`: `to`
    // flowed on gaplessly and sounds already. Made current only while
    // `from` is, and when the report was made after the thread took the
    // latest command (`takenSerial`): a command given meanwhile was for the
    // track the person saw, and the thread carries it out next.
    void TrackAdvanced(const QString& from, const QString& to, bool joined, std::uint32_t takenSerial);
    void SetPlaying(bool playing);
    void SetTimeShown(bool shown);
    void Raise(const QualityShortfall& shortfall);
    void ApplyLimits(const DeviceLimits& limits);
    // True when a report was made after the thread took the latest command.
    bool ReportIsCurrent(std::uint32_t takenSerial) const { return takenSerial >= lastSent_; }

    // Gives the render thread a command; one that may start a run brings
    // the run's set-up as the model holds it now. What follows a track (the
    // plan in the channel) is published first, if it changed.
    void Send(CommandRequest request);

signals:
    // A file became current and is shown loaded, or none is loaded.
    void Loaded();
    void Unloaded();
    // Entries were added or removed.
    void TracksChanged();
    // The program moved the bar (not the person's hand).
    void BarMoved(int position);
    // A move of the bar is complete (not held).
    void Seeked();
    void TimeShownChanged(bool shown);
    void PlayingChanged(bool playing);
    // The output choice, its limits or the options changed.
    void OutputChanged();
    // FinishList: the editor closes where it is shown.
    void ListFinished();
    // Names AddNames could not list (a line break in them).
    void NamesRefused(const QStringList& names);

private:
    // `file` becomes the current file of the list, loaded; from its start
    // (a run going on stops) or as a step that the command carries on.
    void LoadTrack(const QString& file, bool fromStart);
    void FileLoaded();
    void Unload();
    void RestartIfPlaying();
    int Find(const QString& name) const;
    // The plan of what follows a track: published soon after the list or
    // the output changed (one removal of many rows publishes once), and
    // before any command.
    void PlanChanged();
    void PublishPlan();

    PlayerModel model_;
    PlaylistModel playlist_;
    CommandChannel channel_;
    const PlayThread* thread_ = nullptr;
    std::uint32_t lastSent_ = 0;
    bool finishing_ = false;  // FinishList under way
    // The list or the output changed since the plan was published (at the
    // start: the settings were read into the model).
    bool planDirty_ = true;
};

}  // namespace sonivel
