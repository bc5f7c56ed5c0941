#include "mpris.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>
#include <QUrl>

#include "file_names.h"
#include "mainform.h"
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

MprisPlayer::MprisPlayer(QObject* parent, TMainForm& form) : QDBusAbstractAdaptor(parent), form_(form) {}

QString MprisPlayer::PlaybackStatus() const { return form_.IsPlaying() ? "Playing" : "Stopped"; }

QVariantMap MprisPlayer::Metadata() const {
    QVariantMap m;
    if (!form_.PlayStop->isEnabled()) {
        m["mpris:trackid"] = QVariant::fromValue(QDBusObjectPath("/org/mpris/MediaPlayer2/TrackList/NoTrack"));
        return m;
    }
    const QString file = form_.CurrentFile();
    m["mpris:trackid"] = QVariant::fromValue(QDBusObjectPath("/org/sonivel/track/current"));
    m["xesam:title"] = QFileInfo(file).completeBaseName();
    m["xesam:url"] = QUrl::fromLocalFile(file).toString();
    // The length from the file's own format: data bytes over bytes a second.
    const WaveReadResult wave = ReadWaveFile(FileNameBytes(file));
    if (wave.ok() && wave.info.InFormat.nAvgBytesPerSec)
        m["mpris:length"] = static_cast<qlonglong>(static_cast<double>(wave.info.DataBytes()) /
                                                   wave.info.InFormat.nAvgBytesPerSec * 1e6);
    return m;
}

qlonglong MprisPlayer::Position() const {
    const int max = form_.TrackBar2->maximum();
    const QVariant length = Metadata().value("mpris:length");
    if (max <= 0 || !length.isValid()) return 0;
    return static_cast<qlonglong>(static_cast<double>(form_.TrackBar2->value()) / max * length.toLongLong());
}

bool MprisPlayer::CanGoNext() const { return form_.NextTrack->isEnabled(); }
bool MprisPlayer::CanGoPrevious() const { return form_.PrevTrack->isEnabled(); }
bool MprisPlayer::CanPlay() const { return form_.PlayStop->isEnabled(); }

void MprisPlayer::Play() {
    if (CanPlay() && !form_.IsPlaying()) form_.PlayStopClick();
}
// Sonivel has no pause: stopping keeps the bar where playback was, so the
// next Play continues from there.
void MprisPlayer::Pause() {
    if (form_.IsPlaying()) form_.PlayStopClick();
}
void MprisPlayer::PlayPause() {
    if (CanPlay()) form_.PlayStopClick();
}
void MprisPlayer::Stop() {
    if (form_.IsPlaying()) form_.PlayStopClick();
}
void MprisPlayer::Next() {
    if (CanGoNext()) form_.NextTrackClick();
}
void MprisPlayer::Previous() {
    if (CanGoPrevious()) form_.PrevTrackClick();
}
void MprisPlayer::OpenUri(const QString& uri) {
    const QUrl url(uri);
    if (!url.isLocalFile()) return;
    form_.OpenAndPlay(url.toLocalFile());
}

void MprisPlayer::Announce() {
    QVariantMap now;
    now["PlaybackStatus"] = PlaybackStatus();
    now["Metadata"] = Metadata();
    now["CanGoNext"] = CanGoNext();
    now["CanGoPrevious"] = CanGoPrevious();
    now["CanPlay"] = CanPlay();
    now["CanPause"] = CanPlay();
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
    return true;
}

}  // namespace sonivel
