#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QString>

// The data made once per test run by make-fixtures (the test_data CTest fixture).
namespace TestFixtures {

// Absolute path of a fixture file ("tone-a.mp3", "ca.pem", ...).
QString path(const QString &name);
// The file's bytes; fails the running test when it cannot be read.
QByteArray read(const QString &name);

// `image` encoded as PNG, as a server would send it.
QByteArray png(const QImage &image);
// A PNG of `size` filled with `color`.
QByteArray png(const QSize &size, const QColor &color);
// A valid PNG whose header declares `size` while it carries one pixel: a lie about its size.
QByteArray pngDeclaring(const QSize &size);
// A 24-bit BMP whose header declares `size` while it carries a few pixels; its reader fills the
// rest.
QByteArray bmpDeclaring(const QSize &size);
// An RGB PNG of `size` in one colour at `bitDepth` (8 or 16) bits a channel, compressed row by
// row, so even a huge one costs the test little memory.
QByteArray pngFilled(const QSize &size, int bitDepth = 8);

// JSON written with single quotes, so test data needs no escaping; the quotes become double.
inline QByteArray json(const char *text)
{
    return QByteArray(text).replace('\'', '"');
}

} // namespace TestFixtures
