#include "MprisRootAdaptor.h"

#include "MprisController.h"

MprisRootAdaptor::MprisRootAdaptor(MprisController &controller, QObject *parent)
    : QDBusAbstractAdaptor(parent)
    , m_controller(controller)
{ }

QString MprisRootAdaptor::identity() const
{
    return QStringLiteral("Ondalux");
}

QString MprisRootAdaptor::desktopEntry() const
{
    return QStringLiteral("ondalux");
}

void MprisRootAdaptor::Raise()
{
    m_controller.raise();
}

void MprisRootAdaptor::Quit()
{
    m_controller.quit();
}
