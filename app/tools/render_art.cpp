// Renders an SVG picture into a PNG at build time:
//   vorna-render-art IN.svg OUT.png [SIZE]
// SIZE gives a square picture of SIZE x SIZE pixels; without it the
// picture keeps the size the SVG declares.

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
  // A build step needs no display.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication application(argc, argv);
  const QStringList args = QCoreApplication::arguments();
  if (args.size() != 3 && args.size() != 4) {
    std::fprintf(stderr, "usage: vorna-render-art IN.svg OUT.png [SIZE]\n");
    return EXIT_FAILURE;
  }
  QSvgRenderer renderer(args.at(1));
  if (!renderer.isValid()) {
    std::fprintf(stderr, "vorna-render-art: cannot read %s\n", qPrintable(args.at(1)));
    return EXIT_FAILURE;
  }
  QSize size = renderer.defaultSize();
  if (args.size() == 4) {
    bool ok = false;
    const int side = args.at(3).toInt(&ok);
    if (!ok || side <= 0) {
      std::fprintf(stderr, "vorna-render-art: bad size %s\n", qPrintable(args.at(3)));
      return EXIT_FAILURE;
    }
    size = QSize(side, side);
  }
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    renderer.render(&painter);
  }
  if (!image.save(args.at(2), "PNG")) {
    std::fprintf(stderr, "vorna-render-art: cannot write %s\n", qPrintable(args.at(2)));
    return EXIT_FAILURE;
  }
  return EXIT_SUCCESS;
}
