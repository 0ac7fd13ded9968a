#include "Assets.h"

#include <QFile>

namespace Assets {

QImage image(const QString &name)
{
    // Asset names are ours, but a stray "/" or ".." must never escape the resource folder.
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.startsWith(QLatin1Char('.')))
        return {};
    const QString path = QStringLiteral(":/assets/") + name + QStringLiteral(".png");
    if (!QFile::exists(path))
        return {};
    return QImage(path);
}

} // namespace Assets
