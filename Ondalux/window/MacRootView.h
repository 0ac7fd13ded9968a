#pragma once

#include "Clock.h"
#include "LastTenViewModel.h"
#include "RadioPlayer.h"
#include "Station.h"

#include <QWidget>

class QAbstractButton;
class QButtonGroup;
class QLabel;
class QListWidget;
class QSlider;

// The content of the program's one window: station picker and transport on top, the track on
// air in the middle, the recently played list below. Holds no state beyond its stored
// properties; everything else is drawn from the player and the loader.
class MacRootView : public QWidget
{
    Q_OBJECT

public:
    static constexpr QSize minimumWindowSize{ 900, 700 };

    // Uses the process's one player.
    explicit MacRootView(QWidget *parent = nullptr);
    explicit MacRootView(RadioPlayer &player, QWidget *parent = nullptr);

    const Station &softorbit() const { return m_softorbit; }
    const Station &radiobeatloom() const { return m_radiobeatloom; }
    // The selected station; always one of the two above.
    const Station &current() const { return m_current; }
    RadioPlayer &player() const { return m_player; }
    LastTenViewModel &lastTenVM() const { return *m_lastTenVM; }
    // When a track change last reloaded the recently played list.
    Clock::TimePoint lastRefresh() const { return m_lastRefresh; }

private:
    QWidget *buildControlBar();
    QWidget *buildNowPlayingBlock();
    QWidget *buildLastTenSection();
    void selectStation(const Station &station);
    void togglePlayback();
    void refresh();

    const Station m_softorbit;
    const Station m_radiobeatloom;
    Station m_current;
    RadioPlayer &m_player;
    LastTenViewModel *m_lastTenVM;
    Clock::TimePoint m_lastRefresh = Clock::distantPast();

    QButtonGroup *m_stationPicker = nullptr;
    QAbstractButton *m_playPauseButton = nullptr;
    QLabel *m_artwork = nullptr;
    QLabel *m_stationName = nullptr;
    QLabel *m_nowPlayingLine = nullptr;
    QSlider *m_volumeSlider = nullptr;
    QListWidget *m_lastTenList = nullptr;
};
