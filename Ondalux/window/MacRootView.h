#pragma once

#include "Clock.h"
#include "LastTenViewModel.h"
#include "RadioPlayer.h"
#include "Station.h"

#include <QWidget>

class ElidedLabel;
class HttpSession;
class LastTenList;
class NowPlayingArtwork;
class QLabel;
class QSlider;
class QToolButton;
class StationPicker;

// The content of the program's one window: station picker and transport on top, the track on
// air in the middle, the recently played list below. Holds no state beyond its stored
// properties; everything else is drawn from the player and the loader. Main thread.
class MacRootView : public QWidget
{
    Q_OBJECT

public:
    static constexpr QSize minimumWindowSize{ 900, 700 };
    // A track change reloads the list only when strictly more than this has passed since the
    // last such reload.
    static constexpr double refreshThrottleSeconds = 8.0;

    // The catalogue's stations on the process's player, clock and HTTP session.
    explicit MacRootView(QWidget *parent = nullptr);
    MacRootView(RadioPlayer &player, const Clock &clock, HttpSession &session, Station softorbit,
                Station radiobeatloom, QWidget *parent = nullptr);

    const Station &softorbit() const { return m_softorbit; }
    const Station &radiobeatloom() const { return m_radiobeatloom; }
    // The selected station; always one of the two above.
    const Station &current() const { return m_current; }
    RadioPlayer &player() const { return m_player; }
    // These two and the actions below are public for tests, which act and look as the controls do.
    LastTenViewModel &lastTenVM() const { return *m_lastTenVM; }
    // When a track change last reloaded the recently played list.
    Clock::TimePoint lastRefresh() const { return m_lastRefresh; }

    // The play/pause button's action, also bound to the space bar: pauses while playing,
    // otherwise starts the selected station afresh.
    void togglePlayback();
    // Selects `station`, as picking its segment does.
    void selectStation(const Station &station);

Q_SIGNALS:
    // A load of the recently played list begins, for diagnostics and tests.
    void lastTenLoadStarted(const QUrl &url);

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *buildControlBar();
    QWidget *buildNowPlayingBlock();
    QWidget *buildLastTenSection();
    void onNowPlayingChanged();
    void startLoad(const QUrl &url);
    void refreshControls();
    void rebuildRows();

    const Station m_softorbit;
    const Station m_radiobeatloom;
    Station m_current;
    RadioPlayer &m_player;
    LastTenViewModel *m_lastTenVM;
    Clock::TimePoint m_lastRefresh = Clock::distantPast();

    const Clock &m_clock;
    HttpSession &m_session;
    QString m_seenNowPlaying; // to tell a change of the text from a repeated assignment
    bool m_shown = false;

    StationPicker *m_picker = nullptr;
    QToolButton *m_playPauseButton = nullptr;
    NowPlayingArtwork *m_artwork = nullptr;
    QLabel *m_stationName = nullptr;
    ElidedLabel *m_nowPlayingLine = nullptr;
    QSlider *m_volumeSlider = nullptr;
    LastTenList *m_lastTenList = nullptr;
};
