#pragma once
// A plot saved as a PNG picture. Rendering SVG text into pixels needs a font rasteriser;
// this build borrows Qt's (QtSvg, on the "offscreen" platform, so no display is needed)
// when the window is built, and has none in a core-only build (DSPTUNE_CORE_ONLY), which
// writes SVG only.
#include <string>

namespace dsptune::cli {

// False in a core-only build: PNG is refused before any work.
bool PngPlotsAvailable();
// Renders `svg` (as ResponsePlotSvg writes it) at its own size on white and saves it as
// a PNG at `path`, replacing a file there whole. "" on success, otherwise what went wrong.
std::string SaveSvgAsPng(const std::string& svg, const std::string& path);

}  // namespace dsptune::cli
