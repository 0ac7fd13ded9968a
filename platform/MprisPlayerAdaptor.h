#pragma once

// The MPRIS player interface, org.mpris.MediaPlayer2.Player:
// https://specifications.freedesktop.org/mpris-spec/latest/Player_Interface.html

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QVariantMap>

class MprisController;

// A live stream: no position, no seeking, no tracks to skip to, one speed.
class MprisPlayerAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(double Rate READ rate WRITE setRate)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(double MinimumRate READ rate CONSTANT)
    Q_PROPERTY(double MaximumRate READ rate CONSTANT)
    Q_PROPERTY(bool CanGoNext READ no CONSTANT)
    Q_PROPERTY(bool CanGoPrevious READ no CONSTANT)
    Q_PROPERTY(bool CanPlay READ canPlay)
    Q_PROPERTY(bool CanPause READ yes CONSTANT)
    Q_PROPERTY(bool CanSeek READ no CONSTANT)
    Q_PROPERTY(bool CanControl READ yes CONSTANT)

public:
    // `parent` is the exported object; `controller` must outlive the adaptor.
    MprisPlayerAdaptor(MprisController &controller, QObject *parent);

    QString playbackStatus() const;
    QVariantMap metadata() const;
    bool canPlay() const;
    double rate() const { return 1.0; }
    // Writes of the speed are accepted and change nothing.
    void setRate(double) { }
    double volume() const;
    void setVolume(double volume);
    qlonglong position() const { return 0; }
    bool yes() const { return true; }
    bool no() const { return false; }

public Q_SLOTS:
    void Play();
    void Pause();
    void PlayPause();
    void Stop();
    void Next() { }
    void Previous() { }
    void Seek(qlonglong Offset) { Q_UNUSED(Offset); }
    void SetPosition(const QDBusObjectPath &TrackId, qlonglong Position)
    {
        Q_UNUSED(TrackId);
        Q_UNUSED(Position);
    }
    void OpenUri(const QString &Uri) { Q_UNUSED(Uri); }

Q_SIGNALS:
    void Seeked(qlonglong Position);

private:
    MprisController &m_controller;
};
