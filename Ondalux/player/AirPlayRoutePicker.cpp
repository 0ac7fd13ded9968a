#include "AirPlayRoutePicker.h"

#include "Assets.h"
#include "OutputDevices.h"
#include "RadioPlayer.h"
#include "StreamPlayer.h"

#include <QActionGroup>
#include <QMenu>
#include <QPainter>

namespace {

constexpr int side = 26;
constexpr int symbolSide = 18;

} // namespace

AirPlayRoutePicker::AirPlayRoutePicker(QWidget *parent)
    : AirPlayRoutePicker(RadioPlayer::shared().player(), OutputDevices::shared(), parent)
{ }

AirPlayRoutePicker::AirPlayRoutePicker(StreamPlayer &player, OutputDevices &devices,
                                       QWidget *parent)
    : QToolButton(parent)
    , m_player(player)
    , m_devices(devices)
    , m_chosen(player.outputDevice())
{
    setFixedSize(side, side);
    setAutoRaise(true);
    setAttribute(Qt::WA_TranslucentBackground);
    setToolTip(tr("Output"));
    setAccessibleName(tr("Output device"));
    setAccessibleDescription(tr("Chooses where the sound plays"));
    setPopupMode(QToolButton::InstantPopup);
    auto *menu = new QMenu(this);
    setMenu(menu);
    connect(menu, &QMenu::aboutToShow, this, &AirPlayRoutePicker::showMenu);
    connect(&m_devices, &OutputDevices::devicesChanged, this,
            &AirPlayRoutePicker::onDevicesChanged);
    connect(&m_player, &StreamPlayer::currentOutputChanged, this,
            &AirPlayRoutePicker::onOutputChanged);
    if (!m_player.currentOutput().isEmpty())
        onOutputChanged();
}

void AirPlayRoutePicker::choose(const QString &name)
{
    // Choosing the default output means the default, wherever it is later.
    m_chosen = name == m_devices.defaultName() ? QString() : name;
    m_player.setOutputDevice(m_chosen);
    update();
}

QString AirPlayRoutePicker::outputInUse() const
{
    const QString current = m_player.currentOutput();
    if (!current.isEmpty())
        return current;
    return m_chosen.isEmpty() ? m_devices.defaultName() : m_chosen;
}

bool AirPlayRoutePicker::isAirPlayActive() const
{
    const std::optional<OutputDevice> device = m_devices.find(outputInUse());
    return device && device->isAirPlay;
}

void AirPlayRoutePicker::showMenu()
{
    // The sound server is only asked once a stream plays or someone wants to choose.
    m_devices.start();
    fillMenu();
}

void AirPlayRoutePicker::fillMenu()
{
    QMenu *list = menu();
    list->clear();
    auto *group = new QActionGroup(list);
    const QString inUse = outputInUse();
    for (const OutputDevice &device : m_devices.devices()) {
        QAction *action
            = list->addAction(device.description.isEmpty() ? device.name : device.description);
        action->setCheckable(true);
        action->setChecked(device.name == inUse);
        action->setActionGroup(group);
        action->setData(device.name);
        if (device.isAirPlay)
            action->setToolTip(tr("AirPlay"));
        connect(action, &QAction::triggered, this, [this, name = device.name] { choose(name); });
    }
    if (list->isEmpty())
        list->addAction(tr("No outputs found"))->setEnabled(false);
}

void AirPlayRoutePicker::onDevicesChanged()
{
    if (!m_chosen.isEmpty() && !m_devices.find(m_chosen)) {
        // The chosen output went away: keep playing on the default one, and follow it.
        m_chosen.clear();
        m_player.setOutputDevice({});
    }
    if (menu()->isVisible())
        fillMenu();
    update();
}

void AirPlayRoutePicker::onOutputChanged()
{
    // A stream plays: whether its output is a receiver is for the device list to say.
    m_devices.start();
    if (menu()->isVisible())
        fillMenu();
    update();
}

void AirPlayRoutePicker::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal dpr = devicePixelRatioF();
    const QRectF target((side - symbolSide) / 2.0, (side - symbolSide) / 2.0, symbolSide,
                        symbolSide);
    if (!isAirPlayActive()) {
        // A dark outline keeps the white symbol readable on a light bar.
        const QPixmap outline = Assets::symbolPixmap(QStringLiteral("airplayaudio"), symbolSide,
                                                     QColor(0, 0, 0, 110), dpr);
        for (const QPointF offset :
             { QPointF(-0.75, 0), QPointF(0.75, 0), QPointF(0, -0.75), QPointF(0, 0.75) })
            painter.drawPixmap(target.translated(offset), outline, outline.rect());
    }
    if (underMouse() || isDown() || hasFocus()) {
        QColor hover = palette().color(QPalette::WindowText);
        hover.setAlphaF(isDown() ? 0.2F : 0.1F);
        painter.setPen(Qt::NoPen);
        painter.setBrush(hover);
        painter.drawRoundedRect(rect().adjusted(1, 1, -1, -1), 5, 5);
    }
    const QPixmap symbol
        = Assets::symbolPixmap(QStringLiteral("airplayaudio"), symbolSide, tint(), dpr);
    painter.drawPixmap(target, symbol, symbol.rect());
}
