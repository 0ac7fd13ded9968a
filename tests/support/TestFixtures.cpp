#include "TestFixtures.h"

#include <QBuffer>
#include <QFile>
#include <QTest>
#include <QtEndian>

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

QByteArray pngDeclaring(const QSize &size)
{
    QByteArray bytes = png(QSize(1, 1), Qt::black);
    // IHDR follows the 8-byte signature and its length: type at 12, width and height at 16 and
    // 20, its CRC (over type and data) at 29.
    qToBigEndian<quint32>(size.width(), bytes.data() + 16);
    qToBigEndian<quint32>(size.height(), bytes.data() + 20);
    quint32 crc = 0xffffffff;
    for (const char byte : QByteArrayView(bytes).sliced(12, 17)) {
        crc ^= static_cast<quint8>(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320 & (0 - (crc & 1)));
    }
    qToBigEndian<quint32>(~crc, bytes.data() + 29);
    return bytes;
}

} // namespace TestFixtures
