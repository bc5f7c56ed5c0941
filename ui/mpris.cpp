#include "mpris.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>
#include <QUrl>

#include "file_names.h"
#include "mainform.h"
#include "player.h"
#include "shell.h"
#include "waveread.h"

namespace sonivel {

namespace {
constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";
constexpr const char* kService = "org.mpris.MediaPlayer2.sonivel";
}  // namespace

MprisRoot::MprisRoot(QObject* parent, TMainForm& form) : QDBusAbstractAdaptor(parent), form_(form) {}

void MprisRoot::Raise() {
    form_.showNormal();
    form_.raise();
    form_.activateWindow();
}

void MprisRoot::Quit() { form_.close(); }

QStringList MprisRoot::SupportedMimeTypes() const {
    QStringList types;
    for (const char* type : kWaveMimeTypes) types << type;
    return types;
}

MprisPlayer::MprisPlayer(QObject* parent, TMainForm& form)
    : QDBusAbstractAdaptor(parent), form_(form), player_(form.Player()) {}

// Sonivel's Stop keeps the bar where playback was and Play continues from
// there: that is a pause. A file at its start is stopped.
QString MprisPlayer::PlaybackStatus() const {
    if (player_.Model().Playing()) return "Playing";
    return player_.Model().Loaded() && player_.Model().BarPosition() > 0 ? "Paused" : "Stopped";
}

const MprisPlayer::Track& MprisPlayer::Current() const {
    const QString file = player_.Model().CurrentFile();
    if (track_.file != file || track_.id.path().isEmpty()) {
        track_.file = file;
        track_.id = QDBusObjectPath(QString("/org/sonivel/track/%1").arg(++tracks_));
        track_.length = -1;
        // The length from the file's own format: data bytes over bytes a second.
        const WaveReadResult wave = ReadWaveFile(FileNameBytes(file));
        if (wave.ok() && wave.info.InFormat.nAvgBytesPerSec)
            track_.length = static_cast<qlonglong>(static_cast<double>(wave.info.DataBytes()) /
                                                   wave.info.InFormat.nAvgBytesPerSec * 1e6);
    }
    return track_;
}

QVariantMap MprisPlayer::Metadata() const {
    QVariantMap m;
    if (!player_.Model().Loaded()) {
        m["mpris:trackid"] = QVariant::fromValue(QDBusObjectPath("/org/mpris/MediaPlayer2/TrackList/NoTrack"));
        return m;
    }
    const Track& t = Current();
    m["mpris:trackid"] = QVariant::fromValue(t.id);
    m["xesam:title"] = QFileInfo(t.file).completeBaseName();
    m["xesam:url"] = QString::fromLatin1(QUrl::fromLocalFile(t.file).toEncoded(QUrl::FullyEncoded));
    if (t.length >= 0) m["mpris:length"] = t.length;
    return m;
}

qlonglong MprisPlayer::Position() const {
    const int max = player_.Model().BarMax();
    if (max <= 0 || !player_.Model().Loaded() || Current().length < 0) return 0;
    return static_cast<qlonglong>(static_cast<double>(player_.Model().BarPosition()) / max * Current().length);
}

bool MprisPlayer::CanGoNext() const { return player_.SeveralTracks(); }
bool MprisPlayer::CanGoPrevious() const { return player_.SeveralTracks(); }
bool MprisPlayer::CanPlay() const { return player_.Model().Loaded(); }
bool MprisPlayer::CanSeek() const { return CanPlay() && Current().length > 0; }

void MprisPlayer::Play() {
    if (CanPlay() && !player_.Model().Playing()) player_.RequestPlaying(true);
}
// Stopping keeps the bar where playback was, so the next Play continues
// from there.
void MprisPlayer::Pause() {
    if (player_.Model().Playing()) player_.RequestPlaying(false);
}
void MprisPlayer::PlayPause() {
    if (CanPlay()) player_.RequestPlaying(!player_.Model().Playing());
}
// A stop also goes back to the start, so Play after it begins the track.
void MprisPlayer::Stop() {
    if (CanPlay()) player_.RequestRewind();
}
void MprisPlayer::Next() {
    if (CanGoNext()) player_.RequestStep(true);
}
void MprisPlayer::Previous() {
    if (CanGoPrevious()) player_.RequestStep(false);
}
void MprisPlayer::OpenUri(const QString& uri) {
    const QUrl url(uri);
    if (!url.isLocalFile()) return;
    form_.OpenAndPlay(url.toLocalFile());
}

void MprisPlayer::MoveTo(qlonglong microseconds) {
    const qlonglong length = Current().length;
    const int max = player_.Model().BarMax();
    const auto bar = static_cast<int>(static_cast<double>(microseconds) / static_cast<double>(length) * max);
    player_.SeekTo(qBound(0, bar, max));
}

void MprisPlayer::Seek(qlonglong offset) {
    if (!CanSeek()) return;
    const qlonglong target = Position() + offset;
    if (target > Current().length) {
        if (CanGoNext()) Next();
        return;
    }
    MoveTo(qMax<qlonglong>(0, target));
}

void MprisPlayer::SetPosition(const QDBusObjectPath& trackId, qlonglong position) {
    if (!CanSeek() || trackId != Current().id || position < 0 || position > Current().length) return;
    MoveTo(position);
}

void MprisPlayer::AnnounceSeek() {
    QDBusMessage signal = QDBusMessage::createSignal(kObjectPath, "org.mpris.MediaPlayer2.Player", "Seeked");
    signal << Position();
    QDBusConnection::sessionBus().send(signal);
}

void MprisPlayer::Announce() {
    QVariantMap now;
    now["PlaybackStatus"] = PlaybackStatus();
    now["Metadata"] = Metadata();
    now["CanGoNext"] = CanGoNext();
    now["CanGoPrevious"] = CanGoPrevious();
    now["CanPlay"] = CanPlay();
    now["CanPause"] = CanPlay();
    now["CanSeek"] = CanSeek();
    QVariantMap changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it)
        if (announced_.value(it.key()) != it.value()) changed.insert(it.key(), it.value());
    if (changed.isEmpty()) return;
    announced_ = now;
    QDBusMessage signal = QDBusMessage::createSignal(kObjectPath, "org.freedesktop.DBus.Properties", "PropertiesChanged");
    signal << QString("org.mpris.MediaPlayer2.Player") << changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

bool StartMprisService(TMainForm& form) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    auto* exported = new QObject(&form);
    exported->setObjectName("Mpris");
    new MprisRoot(exported, form);
    auto* player = new MprisPlayer(exported, form);
    if (!bus.registerObject(kObjectPath, exported) || !bus.registerService(kService)) {
        delete exported;
        return false;
    }
    QObject::connect(&form, &TMainForm::StateChanged, player, &MprisPlayer::Announce, Qt::QueuedConnection);
    QObject::connect(&form.Player(), &Player::Seeked, player, &MprisPlayer::AnnounceSeek, Qt::QueuedConnection);
    return true;
}

}  // namespace sonivel
