#include "MediaRuntime.h"

#include <gst/gst.h>

namespace MediaRuntime {

QString initialize()
{
    if (gst_is_initialized())
        return {};
    GError *error = nullptr;
    if (gst_init_check(nullptr, nullptr, &error))
        return {};
    QString description = error != nullptr ? QString::fromUtf8(error->message)
                                           : QStringLiteral("GStreamer could not be initialized");
    g_clear_error(&error);
    return description;
}

QString versionString()
{
    gchar *text = gst_version_string();
    QString version = QString::fromUtf8(text);
    g_free(text);
    return version;
}

} // namespace MediaRuntime
