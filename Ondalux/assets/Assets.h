#pragma once

#include <QImage>
#include <QString>

// Images packaged with the program, looked up by asset name.
namespace Assets {

// The packaged image named `name` ("SoftorbitArt"), or a null image when there is none.
QImage image(const QString &name);

} // namespace Assets
