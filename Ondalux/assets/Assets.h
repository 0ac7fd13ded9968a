#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QString>

// Images packaged with the program, looked up by asset name.
namespace Assets {

// The packaged image named `name` ("SoftorbitArt"), or a null image when there is none. Free:
// the pixels are packaged as drawn, and every image of a name shares them.
QImage image(const QString &name);

// The packaged one-colour symbols: "music.note", "play.fill" and "pause.fill".
bool hasSymbol(const QString &name);

// The symbol `name` as an icon for any size and scale factor, drawn in the application palette's
// text colour for each icon mode at the time it is drawn, so it follows light and dark themes.
// A null icon when there is no such symbol.
QIcon symbol(const QString &name);

// The symbol `name` in `color`, fitted and centred in a square of `side` logical pixels, drawn
// at `devicePixelRatio` device pixels per logical pixel. A null pixmap when there is no such
// symbol or the square is empty.
QPixmap symbolPixmap(const QString &name, int side, const QColor &color,
                     qreal devicePixelRatio = 1.0);

} // namespace Assets
