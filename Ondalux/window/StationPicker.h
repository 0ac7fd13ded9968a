#pragma once

#include "Station.h"

#include <QWidget>

#include <vector>

class QButtonGroup;
class QPushButton;

// A segmented control with one segment per station, in the order given. Shows which segment's
// station equals the selected one; picking a segment announces its station. Assistive
// technology sees a group of radio buttons.
class StationPicker : public QWidget
{
    Q_OBJECT

public:
    StationPicker(const std::vector<Station> &stations, QWidget *parent = nullptr);

    // Marks the segment whose station equals `station`; none when no station does.
    void setSelection(const Station &station);
    QPushButton *segment(int index) const;

Q_SIGNALS:
    void picked(const Station &station);

private:
    std::vector<Station> m_stations;
    QButtonGroup *m_group;
};
