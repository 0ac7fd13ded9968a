#include "StationPicker.h"

#include "WindowAccessibility.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPushButton>

namespace {

// Segments join into one rounded control and follow the palette, light or dark.
constexpr char segmentStyle[]
    = "QPushButton { border: 1px solid palette(mid); padding: 4px 12px;"
      " background: palette(button); color: palette(button-text); }"
      "QPushButton:checked { background: palette(highlight);"
      " color: palette(highlighted-text); border-color: palette(highlight); }"
      "QPushButton:focus { border: 1px solid palette(highlight); }"
      "QPushButton[segment=\"first\"] { border-top-left-radius: 6px;"
      " border-bottom-left-radius: 6px; }"
      "QPushButton[segment=\"last\"] { border-top-right-radius: 6px;"
      " border-bottom-right-radius: 6px; border-left: none; }";

} // namespace

StationPicker::StationPicker(const std::vector<Station> &stations, QWidget *parent)
    : QWidget(parent)
    , m_stations(stations)
    , m_group(new QButtonGroup(this))
{
    WindowAccessibility::install();
    setAccessibleName(tr("Station"));
    setStyleSheet(QLatin1StringView(segmentStyle));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (size_t index = 0; index < m_stations.size(); ++index) {
        const Station &station = m_stations[index];
        auto *button = new QPushButton(station.name(), this);
        button->setCheckable(true);
        button->setProperty("segment",
                            index == 0 ? QStringLiteral("first") : QStringLiteral("last"));
        button->setAccessibleName(station.name());
        button->setAccessibleDescription(tr("Plays %1").arg(station.name()));
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        m_group->addButton(button, static_cast<int>(index));
        layout->addWidget(button);
    }
    connect(m_group, &QButtonGroup::idClicked, this,
            [this](int id) { Q_EMIT picked(m_stations.at(static_cast<size_t>(id))); });
}

void StationPicker::setSelection(const Station &station)
{
    for (size_t index = 0; index < m_stations.size(); ++index)
        segment(static_cast<int>(index))->setChecked(m_stations[index] == station);
}

QPushButton *StationPicker::segment(int index) const
{
    return qobject_cast<QPushButton *>(m_group->button(index));
}
