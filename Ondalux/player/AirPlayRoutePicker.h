#pragma once

#include <QToolButton>

class OutputDevices;
class StreamPlayer;

// The output-device chooser: a flat button whose symbol is white while the local output plays
// and system blue while an AirPlay receiver does. Pressing it lists the sound server's outputs,
// the one in use checked; choosing one moves playback there at once. Both follow where the
// stream really plays, also after the default output or another program moved it.
class AirPlayRoutePicker : public QToolButton
{
    Q_OBJECT

public:
    static inline const QColor inactiveTint = Qt::white;
    static inline const QColor activeTint = QColor(0x00, 0x7a, 0xff);

    // On the process's player and output devices.
    explicit AirPlayRoutePicker(QWidget *parent = nullptr);
    AirPlayRoutePicker(StreamPlayer &player, OutputDevices &devices, QWidget *parent = nullptr);

    // Moves playback to the output called `name`. Empty, or the name of the sound server's
    // default output, follows the default from then on, wherever it moves.
    void choose(const QString &name);
    // The output chosen here; empty while the default plays.
    QString chosen() const { return m_chosen; }
    bool isAirPlayActive() const;
    QColor tint() const { return isAirPlayActive() ? activeTint : inactiveTint; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // Where the stream plays; while that is not known, where it is sent.
    QString outputInUse() const;
    void showMenu();
    void fillMenu();
    void onDevicesChanged();
    void onOutputChanged();

    StreamPlayer &m_player;
    OutputDevices &m_devices;
    QString m_chosen;
};
