#pragma once

#include "MprisArtworkFiles.h"

#include <QObject>
#include <QString>

#include <memory>

class MprisController;
class NowPlayingInfoCenter;
class RemoteCommandCenter;

// The Now Playing dictionary and the remote commands as an MPRIS 2 player on the session bus,
// at /org/mpris/MediaPlayer2, so desktop media panels show it and media keys drive it. Without
// a bus it does nothing, silently. Main thread only.
class MprisExport : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        // Taken when free, else this name with ".instance<pid>" appended.
        QString serviceName = QStringLiteral("org.mpris.MediaPlayer2.ondalux");
        // A D-Bus address to use instead of the session bus.
        QString busAddress{};
        QString artworkDirectory = MprisArtworkFiles::sessionDirectory();
    };

    // Follows `info` and `commands` for its whole life; both must outlive it.
    MprisExport(NowPlayingInfoCenter &info, RemoteCommandCenter &commands,
                QObject *parent = nullptr);
    MprisExport(NowPlayingInfoCenter &info, RemoteCommandCenter &commands, const Options &options,
                QObject *parent = nullptr);
    // Leaves the bus and removes the artwork files.
    ~MprisExport() override;

    // The bus name held; empty when not on a bus.
    QString serviceName() const;
    // Raise and Quit arrive here as raiseRequested() and quitRequested().
    MprisController &controller() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};
