// Downloaded artwork bytes through both decoders: the now-playing cover's and the last-ten
// thumbnail's. Each must refuse or return an image within its bound; a thumbnail is also kept at
// most keptSide on its shorter side.
#include "ArtworkDecoder.h"
#include "ArtworkThumb.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QImage>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

// Image plugins (SVG above all) expect a GUI application; offscreen needs no display.
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QGuiApplication app(*argc, *argv);
    // Decoders warn on every broken input; the noise would bury libFuzzer's own output.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    if (const QImage cover = ArtworkDecoder::decode(bytes);
        !cover.isNull() && cover.sizeInBytes() > ArtworkDecoder::maxDecodedBytes)
        __builtin_trap();
    if (const QImage thumb = ArtworkThumb::decode(bytes); !thumb.isNull()
        && (qint64(thumb.width()) * thumb.height() > ArtworkThumb::maxDecodedPixels
            || qMin(thumb.width(), thumb.height()) > ArtworkThumb::keptSide))
        __builtin_trap();
    return 0;
}
