#pragma once
// The application's pictures, rendered from resources/*.svg at build time.

#include <QIcon>
#include <QPixmap>

namespace vorna {

// Icon 128: the 16 x 16 and 32 x 32 images.
QIcon ApplicationIcon();

// Bitmap 140: the splash picture, 433 x 360 pixels.
QPixmap SplashPicture();

}  // namespace vorna
