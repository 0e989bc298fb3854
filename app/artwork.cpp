#include "app/artwork.h"

#include <QString>

namespace vorna {

QIcon ApplicationIcon() {
  QIcon icon;
  icon.addFile(QStringLiteral(":/vorna/icon-16.png"));
  icon.addFile(QStringLiteral(":/vorna/icon-32.png"));
  return icon;
}

QPixmap SplashPicture() { return QPixmap(QStringLiteral(":/vorna/splash.png")); }

}  // namespace vorna
