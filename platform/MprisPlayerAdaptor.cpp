#include "MprisPlayerAdaptor.h"

#include "MprisController.h"

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisController &controller, QObject *parent)
    : QDBusAbstractAdaptor(parent)
    , m_controller(controller)
{ }

QString MprisPlayerAdaptor::playbackStatus() const
{
    return m_controller.playbackStatus();
}

QVariantMap MprisPlayerAdaptor::metadata() const
{
    return m_controller.metadata();
}

bool MprisPlayerAdaptor::canPlay() const
{
    return m_controller.canPlay();
}

double MprisPlayerAdaptor::volume() const
{
    return m_controller.volume();
}

void MprisPlayerAdaptor::setVolume(double volume)
{
    m_controller.setVolume(volume);
}

void MprisPlayerAdaptor::Play()
{
    m_controller.play();
}

void MprisPlayerAdaptor::Pause()
{
    m_controller.pause();
}

void MprisPlayerAdaptor::PlayPause()
{
    m_controller.playPause();
}

void MprisPlayerAdaptor::Stop()
{
    m_controller.stop();
}
