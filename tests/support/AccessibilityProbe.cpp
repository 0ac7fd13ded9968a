#include "AccessibilityProbe.h"

#include <QtGui/private/qguiapplication_p.h>
#include <QtGui/qpa/qplatformaccessibility.h>
#include <QtGui/qpa/qplatformintegration.h>

void AccessibilityProbe::activate()
{
    // Qt has no public switch: a platform's bridge flips this when a screen reader connects,
    // and the offscreen platform has no bridge. Qt's own accessibility tests do the same.
    if (QPlatformAccessibility *platform
        = QGuiApplicationPrivate::platformIntegration()->accessibility())
        platform->setActive(true);
}
