// The desktop's media controls: an MPRIS2 service on the session bus,
// org.mpris.MediaPlayer2.sonivel, so media keys and the sound menu steer
// Sonivel. Its commands run the main window's own handlers; its properties
// follow the window. No session bus: no service, and nothing is said.
#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

namespace sonivel {

class TMainForm;
class Player;

class MprisRoot : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ CanQuit)
    Q_PROPERTY(bool CanRaise READ CanRaise)
    Q_PROPERTY(bool HasTrackList READ HasTrackList)
    Q_PROPERTY(QString Identity READ Identity)
    Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)
public:
    MprisRoot(QObject* parent, TMainForm& form);
    bool CanQuit() const { return true; }
    bool CanRaise() const { return true; }
    bool HasTrackList() const { return false; }
    QString Identity() const { return "Sonivel"; }
    QString DesktopEntry() const { return "sonivel"; }
    QStringList SupportedUriSchemes() const { return {"file"}; }
    QStringList SupportedMimeTypes() const;

public slots:
    void Raise();
    void Quit();

private:
    TMainForm& form_;
};

class MprisPlayer : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
    Q_PROPERTY(QVariantMap Metadata READ Metadata)
    Q_PROPERTY(double Rate READ Rate)
    Q_PROPERTY(double MinimumRate READ Rate)
    Q_PROPERTY(double MaximumRate READ Rate)
    Q_PROPERTY(double Volume READ Rate)
    Q_PROPERTY(qlonglong Position READ Position)
    Q_PROPERTY(bool CanGoNext READ CanGoNext)
    Q_PROPERTY(bool CanGoPrevious READ CanGoPrevious)
    Q_PROPERTY(bool CanPlay READ CanPlay)
    Q_PROPERTY(bool CanPause READ CanPlay)
    Q_PROPERTY(bool CanSeek READ CanSeek)
    Q_PROPERTY(bool CanControl READ CanControl)
public:
    MprisPlayer(QObject* parent, TMainForm& form);
    QString PlaybackStatus() const;
    QVariantMap Metadata() const;
    double Rate() const { return 1.0; }
    qlonglong Position() const;
    bool CanGoNext() const;
    bool CanGoPrevious() const;
    bool CanPlay() const;
    bool CanSeek() const;
    bool CanControl() const { return true; }

    // Tells the desktop what changed since the last call.
    void Announce();

public slots:
    void Play();
    void Pause();
    void PlayPause();
    void Stop();
    void Next();
    void Previous();
    // Moves by `offset` microseconds: before the start means the start,
    // past the end the next track (where there is one).
    void Seek(qlonglong offset);
    // Moves to `position` microseconds into the track `trackId`, if that is
    // the current one and the position lies within it.
    void SetPosition(const QDBusObjectPath& trackId, qlonglong position);
    void OpenUri(const QString& uri);

    // Tells the desktop the position jumped (any seek, the window's too).
    void AnnounceSeek();

private:
    // The current file's track id and length, kept per file: the wave file
    // is read once for each file, not at every change of state.
    struct Track {
        QString file;
        QDBusObjectPath id;
        qlonglong length = -1;  // microseconds; -1 when unknown
    };
    const Track& Current() const;
    // Moves the bar as the person would; playback restarts there.
    void MoveTo(qlonglong microseconds);

    TMainForm& form_;  // opens a named file as the window does
    Player& player_;   // the intents and the state
    QVariantMap announced_;
    mutable Track track_;
    mutable quint64 tracks_ = 0;
};

// Registers the service for `form`; false (silently) without a session bus.
bool StartMprisService(TMainForm& form);

}  // namespace sonivel
