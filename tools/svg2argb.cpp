// svg2argb IN.svg OUT SIZE: renders a square SVG drawing to SIZE x SIZE pixels of premultiplied
// ARGB, row after row, each pixel a 32-bit word in this machine's byte order: what a QImage of
// Format_ARGB32_Premultiplied holds, so the program shows it without decoding anything.
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    bool sizeOk = false;
    const int size = args.size() == 4 ? args.at(3).toInt(&sizeOk) : 0;
    if (!sizeOk || size <= 0) {
        std::fputs("usage: svg2argb IN.svg OUT SIZE\n", stderr);
        return 2;
    }
    QSvgRenderer renderer(args.at(1));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "svg2argb: cannot read %s\n", qPrintable(args.at(1)));
        return 1;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    painter.end();
    QFile out(args.at(2));
    if (!out.open(QIODevice::WriteOnly)
        || out.write(reinterpret_cast<const char *>(image.constBits()), image.sizeInBytes())
            != image.sizeInBytes()
        || !out.flush()) {
        std::fprintf(stderr, "svg2argb: cannot write %s\n", qPrintable(args.at(2)));
        return 1;
    }
    return 0;
}
