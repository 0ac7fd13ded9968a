#include "TestFixtures.h"

#include <QBuffer>
#include <QFile>
#include <QTest>

namespace TestFixtures {

QString path(const QString &name)
{
    return QStringLiteral(ONDALUX_TEST_FIXTURES "/") + name;
}

QByteArray read(const QString &name)
{
    QFile file(path(name));
    if (!file.open(QIODevice::ReadOnly)) {
        QTest::qFail(qPrintable(QStringLiteral("fixture %1 is missing; run the tests through ctest")
                                    .arg(file.fileName())),
                     __FILE__, __LINE__);
        return {};
    }
    return file.readAll();
}

QByteArray png(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QByteArray png(const QSize &size, const QColor &color)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    return png(image);
}

} // namespace TestFixtures
