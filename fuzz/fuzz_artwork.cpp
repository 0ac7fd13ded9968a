// Downloaded artwork bytes through the one image decoder, as the now-playing cover and as the
// last-ten thumbnail. What each keeps must be within its bounds: the cover inside
// coverSide x coverSide, the thumbnail a square of at most keptSide, both at no more than
// four bytes a pixel.
#include "ArtworkThumb.h"
#include "SongInfoFetcher.h"

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
    if (const QImage cover = SongInfoFetcher::decodeCover(bytes); !cover.isNull()
        && (cover.width() > SongInfoFetcher::coverSide
            || cover.height() > SongInfoFetcher::coverSide || cover.depth() > 32))
        __builtin_trap();
    if (const QImage thumb = ArtworkThumb::decode(bytes); !thumb.isNull()
        && (thumb.width() != thumb.height() || thumb.width() > ArtworkThumb::keptSide
            || thumb.depth() > 32))
        __builtin_trap();
    return 0;
}
