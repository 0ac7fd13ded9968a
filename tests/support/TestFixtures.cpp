#include "TestFixtures.h"

#include "PngEncoder.h"

#include <QFile>
#include <QTest>
#include <QtEndian>

#include <zlib.h>

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
    return PngEncoder::encode(image);
}

QByteArray png(const QSize &size, const QColor &color)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    return png(image);
}

using PngEncoder::appendChunk;

QByteArray pngFilled(const QSize &size, int bitDepth)
{
    QByteArray header(13, '\0');
    qToBigEndian<quint32>(size.width(), header.data());
    qToBigEndian<quint32>(size.height(), header.data() + 4);
    header[8] = static_cast<char>(bitDepth);
    header[9] = 2; // RGB
    QByteArray row(1 + qsizetype(size.width()) * 3 * bitDepth / 8, '\x60');
    row[0] = 0; // no filter
    QByteArray data;
    z_stream stream = {};
    deflateInit(&stream, Z_BEST_COMPRESSION);
    char out[64 * 1024];
    for (int y = 0; y < size.height(); ++y) {
        stream.next_in = reinterpret_cast<Bytef *>(row.data());
        stream.avail_in = static_cast<uInt>(row.size());
        const int flush = y + 1 == size.height() ? Z_FINISH : Z_NO_FLUSH;
        do {
            stream.next_out = reinterpret_cast<Bytef *>(out);
            stream.avail_out = sizeof out;
            deflate(&stream, flush);
            data.append(out, qsizetype(sizeof out) - stream.avail_out);
        } while (stream.avail_out == 0);
    }
    deflateEnd(&stream);
    QByteArray png("\x89PNG\r\n\x1a\n");
    appendChunk(png, "IHDR", header);
    appendChunk(png, "IDAT", data);
    appendChunk(png, "IEND", {});
    return png;
}

QByteArray pngDeclaring(const QSize &size)
{
    const QByteArray real = png(QSize(1, 1), Qt::black);
    // The signature (8 bytes), then IHDR: length and type (8), data (13), CRC (4).
    QByteArray header = real.sliced(16, 13);
    qToBigEndian<quint32>(size.width(), header.data());
    qToBigEndian<quint32>(size.height(), header.data() + 4);
    QByteArray bytes = real.first(8);
    appendChunk(bytes, "IHDR", header);
    return bytes + real.sliced(33);
}

QByteArray bmpDeclaring(const QSize &size)
{
    const QByteArray pixels(32, '\x40');
    QByteArray header(54, '\0'); // the file header, then BITMAPINFOHEADER
    header[0] = 'B';
    header[1] = 'M';
    qToLittleEndian<quint32>(quint32(header.size() + pixels.size()), header.data() + 2);
    qToLittleEndian<quint32>(quint32(header.size()), header.data() + 10);
    qToLittleEndian<quint32>(40, header.data() + 14);
    qToLittleEndian<qint32>(size.width(), header.data() + 18);
    qToLittleEndian<qint32>(size.height(), header.data() + 22);
    qToLittleEndian<quint16>(1, header.data() + 26); // planes
    qToLittleEndian<quint16>(24, header.data() + 28); // bits a pixel
    return header + pixels;
}

} // namespace TestFixtures
