// PNG through QtSvg on the "offscreen" platform: the fonts (Chinese labels too) are
// those the window draws with, and no display is needed.
#include <QBuffer>
#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdint>
#include <cstdio>
#include <span>

#include "files/ModeFile.h"
#include "tools/cli/PlotRaster.h"

namespace dsptune::cli {
namespace {

// Qt's start-up notes (no runtime folder, no session bus) are not this command's business.
void QuietMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "dsptune-cli: %s\n", qPrintable(message));
}

}  // namespace

bool PngPlotsAvailable() { return true; }

std::string SaveSvgAsPng(const std::string& svg, const std::string& path) {
  const QtMessageHandler previous = qInstallMessageHandler(QuietMessages);
  int argc = 3;
  char name[] = "dsptune-cli", option[] = "-platform", platform[] = "offscreen";
  char* argv[] = {name, option, platform, nullptr};
  std::string problem;
  {
    QGuiApplication app(argc, argv);
    QSvgRenderer renderer(QByteArray::fromStdString(svg));
    if (!renderer.isValid()) {
      problem = path + ": the plot could not be rendered";
    } else {
      QImage image(renderer.defaultSize(), QImage::Format_RGB32);
      image.fill(Qt::white);
      QPainter painter(&image);
      painter.setRenderHint(QPainter::Antialiasing);
      painter.setRenderHint(QPainter::TextAntialiasing);
      renderer.render(&painter);
      painter.end();
      QByteArray png;
      QBuffer buffer(&png);
      buffer.open(QIODevice::WriteOnly);
      if (!image.save(&buffer, "PNG")) {
        problem = path + ": the PNG could not be encoded";
      } else {
        const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(png.constData()),
                                                  std::size_t(png.size()));
        if (const int error = ReplaceFileContents(path, bytes); error != 0) problem = WriteErrorText(error, path);
      }
    }
  }
  qInstallMessageHandler(previous);
  return problem;
}

}  // namespace dsptune::cli
