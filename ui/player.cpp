#include "player.h"

#include <QSet>
#include <QTimer>

#include "file_names.h"
#include "playlist_rules.h"
#include "playthr.h"

namespace sonivel {

Player::Player(QObject* parent) : QObject(parent) {
    const auto changed = [this] { PlanChanged(); };
    connect(&playlist_, &QAbstractItemModel::rowsInserted, this, changed);
    connect(&playlist_, &QAbstractItemModel::rowsRemoved, this, changed);
    connect(&playlist_, &QAbstractItemModel::modelReset, this, changed);
    connect(this, &Player::OutputChanged, this, changed);
}

void Player::OpenOne(const QString& file) {
    model_.SetCurrentFile(file);
    ClearPlaylist();
    AppendEntries({file});
    RequestRewind();
    FileLoaded();
}

void Player::OpenFiles(const QStringList& files, bool play, bool join) {
    if (files.isEmpty()) return;
    if (join) {
        // Every file joins once; the first becomes current.
        AddNames(files);
        LoadTrack(files.front(), false);
    } else {
        OpenOne(files.front());
        if (files.size() > 1) AppendEntries(files.mid(1));
        model_.SetListed(files.size() > 1);
    }
    if (play) Send(CommandRequest::PlayStop(PlayIntent::PlayNew));
}

void Player::RequestPlaying(bool play) {
    if (model_.BarAtEnd()) {
        ShowBarAt(0);
        return;
    }
    Send(CommandRequest::PlayStop(play ? PlayIntent::Play : PlayIntent::Stop));
}

void Player::RequestStop() {
    if (model_.Playing()) Send(CommandRequest::PlayStop(PlayIntent::Stop));
}

void Player::RequestRewind() {
    RequestStop();
    ShowBarAt(0);
}

void Player::RequestStep(bool next) {
    const bool sawPlaying = model_.Playing();
    const QString& current = model_.CurrentFile();
    const int chosen = StepIndex(playlist_.Entries(), current, current, next);
    if (chosen >= 0) LoadTrack(playlist_.Entries()[chosen], false);
    Send(CommandRequest::Step(next, sawPlaying));
}

void Player::MoveBar(int position, bool held) {
    model_.SetBarPosition(position);
    if (!held) emit Seeked();
    if (held || !model_.TimeShown()) return;
    RestartIfPlaying();
}

void Player::SeekTo(int position) {
    if (model_.BarPosition() != position) ShowBarAt(position);
    MoveBar(position, false);
}

void Player::ShowBarAt(int position) {
    model_.SetBarPosition(position);
    emit BarMoved(position);
}

void Player::SetOutput(const OutputChoice& choice) {
    model_.SetOutput(choice);
    emit OutputChanged();
    RestartIfPlaying();
}

void Player::SetPlayOnSave(bool on) {
    model_.SetPlayOnSave(on);
    emit OutputChanged();
}

void Player::SetAutoRepeat(bool on) {
    model_.SetAutoRepeat(on);
    emit OutputChanged();
}

void Player::Save(const QString& target) {
    model_.SetSaveTarget(target);
    Send(CommandRequest::Plain(kCmdSave));
}

void Player::AppendEntries(const QStringList& files) {
    QStringList fit;
    for (const QString& file : files)
        if (FitsPlaylistLine(file)) fit << file;
    playlist_.Append(fit);
    emit TracksChanged();
}

void Player::AddNames(const QStringList& names) {
    QSet<QString> present;
    present.reserve(playlist_.Count() + names.size());
    for (const QString& entry : playlist_.Entries()) present.insert(FileNameKey(entry));
    QStringList added, refused;
    for (const QString& name : names) {
        if (!FitsPlaylistLine(name)) {
            refused << name;
            continue;
        }
        const QString key = FileNameKey(name);
        if (present.contains(key)) continue;
        present.insert(key);
        added << name;
    }
    if (!added.isEmpty()) {
        playlist_.Append(added);
        emit TracksChanged();
    }
    if (!refused.isEmpty()) emit NamesRefused(refused);
}

void Player::SetEntries(const QStringList& files) {
    playlist_.Set(files);
    emit TracksChanged();
}

void Player::ClearPlaylist() {
    playlist_.Clear();
    Unload();
}

void Player::RemoveEntries(const QList<int>& rows) {
    // Every entry (an empty list too) is all of them.
    if (rows.size() == playlist_.Count()) {
        ClearPlaylist();
        return;
    }
    playlist_.Remove(rows);
    emit TracksChanged();
}

void Player::FinishList() {
    if (finishing_) return;
    finishing_ = true;
    if (playlist_.Count() > 0) LoadTrack(playlist_.Entries().front(), true);
    emit ListFinished();
    finishing_ = false;
}

void Player::DropUnopenable(const QString& file) {
    const int at = Find(file);
    RemoveEntries(at >= 0 ? QList<int>{at} : QList<int>{});
    FinishList();
}

void Player::TrackAdvanced(const QString& from, const QString& to, bool joined, std::uint32_t takenSerial) {
    if (to.isEmpty() || model_.CurrentFile() != from || !ReportIsCurrent(takenSerial)) return;
    LoadTrack(to, false);
    // A joined track sounds already: its time shows in the same step as its
    // name.
    if (joined) SetTimeShown(true);
}

void Player::SetPlaying(bool playing) {
    model_.SetPlaying(playing);
    emit PlayingChanged(playing);
}

void Player::SetTimeShown(bool shown) {
    model_.SetTimeShown(shown);
    emit TimeShownChanged(shown);
}

void Player::Raise(const QualityShortfall& shortfall) {
    model_.Raise(shortfall);
    emit OutputChanged();
}

void Player::ApplyLimits(const DeviceLimits& limits) {
    model_.ApplyLimits(limits);
    emit OutputChanged();
}

void Player::Send(CommandRequest request) {
    if (planDirty_) PublishPlan();
    const bool mayStart = request.code != kCmdPlayStop || request.intent != PlayIntent::Stop;
    if (mayStart) request.setup = model_.SetupNow();
    lastSent_ = channel_.Send(std::move(request));
}

void Player::LoadTrack(const QString& file, bool fromStart) {
    model_.SetCurrentFile(file, true);
    if (fromStart) RequestRewind();
    FileLoaded();
}

void Player::FileLoaded() {
    model_.SetLoaded(true);
    ShowBarAt(0);
    SetTimeShown(false);
    playlist_.SetCurrent(model_.CurrentFile());
    emit Loaded();
}

void Player::Unload() {
    model_.SetLoaded(false);
    playlist_.SetCurrent({});
    RequestRewind();
    SetTimeShown(false);
    emit Unloaded();
}

void Player::RestartIfPlaying() {
    // A silent save ignores restarts; none is given, so its progress shows.
    if (!model_.Playing() || (thread_ && thread_->SilentSaveRunning())) return;
    Send(CommandRequest::Restart(model_.BarPosition()));
}

void Player::PlanChanged() {
    if (planDirty_) return;
    planDirty_ = true;
    QTimer::singleShot(0, this, [this] {
        if (planDirty_) PublishPlan();
    });
}

void Player::PublishPlan() {
    FollowPlan plan;
    plan.entries.reserve(static_cast<std::size_t>(playlist_.Count()));
    for (const QString& entry : playlist_.Entries()) plan.entries.push_back(FileNameBytes(entry));
    plan.autoRepeat = model_.AutoRepeat();
    plan.setup = model_.SetupNow();
    channel_.PublishPlan(std::move(plan));
    planDirty_ = false;
}

int Player::Find(const QString& name) const { return FindEntry(playlist_.Entries(), name, FileNameCase()); }

}  // namespace sonivel
