#pragma once

#include <QObject>

// Loads and publishes a station's recently played tracks. Lives on the main thread.
class LastTenViewModel : public QObject
{
    Q_OBJECT

public:
    explicit LastTenViewModel(QObject *parent = nullptr);
};
