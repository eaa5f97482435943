// The core-only build's stand-in: no font rasteriser, so no PNG.
#include "tools/cli/PlotRaster.h"

namespace dsptune::cli {

bool PngPlotsAvailable() { return false; }

std::string SaveSvgAsPng(const std::string&, const std::string& path) {
  return path + ": this build writes plots as SVG only (PNG needs the build with the window)";
}

}  // namespace dsptune::cli
