// Renders the application icon into the fixed sizes desktop environments look up
// (hicolor/NxN/apps), at build time, so the tree keeps only the SVG.
//   dsptune-render-icons ICON.svg OUTDIR SIZE...  writes OUTDIR/NxN/apps/dsptune.png
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char** argv) {
  // The icon's lettering needs the font system, which comes with the application object.
  QGuiApplication app(argc, argv);
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s ICON.svg OUTDIR SIZE...\n", argv[0]);
    return 2;
  }
  QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
  if (!svg.isValid()) {
    std::fprintf(stderr, "%s: not a readable SVG\n", argv[1]);
    return 1;
  }
  const QDir out(QString::fromLocal8Bit(argv[2]));
  for (int i = 3; i < argc; ++i) {
    bool ok = false;
    const int size = QString::fromLocal8Bit(argv[i]).toInt(&ok);
    if (!ok || size < 1 || size > 4096) {
      std::fprintf(stderr, "%s: not a size in pixels\n", argv[i]);
      return 2;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    svg.render(&painter);
    painter.end();
    const QString dir = QStringLiteral("%1x%1/apps").arg(size);
    const QString file = out.filePath(dir + QStringLiteral("/dsptune.png"));
    if (!out.mkpath(dir) || !image.save(file, "PNG")) {
      std::fprintf(stderr, "%s: cannot write\n", qPrintable(file));
      return 1;
    }
  }
  return 0;
}
