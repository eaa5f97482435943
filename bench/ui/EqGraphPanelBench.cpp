// Cost of one drag step on the EQ graph (offscreen): a pointer move on a selected band
// of a 15-band panel at 1024 x 520 — recompute that band, sum the stored responses and
// repaint the whole panel into an image. The step must fit in 3.3 ms (a 300 Hz pointer);
// it is also reported against one band's response computation, the work a drag cannot
// avoid, and the repaint's share shows where the rest goes.
#include <QApplication>
#include <QImage>
#include <QMouseEvent>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "dsp/ResponseGrid.h"
#include "editors/EqGraphPanel.h"

using namespace dsptune;

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double Milliseconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

// Median milliseconds of `runs` calls of work() after a few unmeasured ones.
template <typename Work>
double MedianOf(int runs, Work&& work) {
  for (int i = 0; i < 10; ++i) work(i);
  std::vector<double> samples;
  samples.reserve(static_cast<std::size_t>(runs));
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    work(i);
    samples.push_back(Milliseconds(start, Clock::now()));
  }
  return Median(samples);
}

void SendMove(QWidget& target, QPointF pos) {
  QMouseEvent move(QEvent::MouseMove, pos, target.mapToGlobal(pos), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&target, &move);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  constexpr int kRuns = 400;
  constexpr double kBudgetMs = 3.3;

  EqGraphPanel panel;
  panel.resize(1024, 520);
  panel.SetEqNumber(0);  // Mic A: 15 bands
  panel.SetLanguage(1);
  for (int b = 0; b < panel.Model().BandCount(); ++b) panel.SetBandGain(b, static_cast<float>((b % 5) - 2) * 2.5f);
  panel.show();
  QApplication::processEvents();
  QImage image(panel.size(), QImage::Format_ARGB32_Premultiplied);
  panel.render(&image);  // builds the cached grid once

  // Pick band 7 with the left button, as the user does.
  const EqBand& band = *panel.Model().BandAt(7);
  const auto plot = panel.Model().Plot();
  const QPointF marker(plot.left + band.x, plot.top + band.y);
  QMouseEvent press(QEvent::MouseButtonPress, marker, panel.mapToGlobal(marker), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(&panel, &press);
  if (panel.Model().Selected() != 7) {
    std::fprintf(stderr, "could not pick the band\n");
    return 1;
  }

  // The pointer swings over ±60 px around the marker, one pixel-ish step per move.
  auto pointerAt = [&](int i) { return marker + QPointF((i % 120) - 60 + 0.5, ((i / 7) % 40) - 20); };

  const double step = MedianOf(kRuns, [&](int i) {
    SendMove(panel, pointerAt(i));
    panel.render(&image);
  });
  const double repaint = MedianOf(kRuns, [&](int) { panel.render(&image); });
  const double input = MedianOf(kRuns, [&](int i) { SendMove(panel, pointerAt(i)); });
  EqBand probe = band;
  probe.linkedCount = 0;
  const double oneBand = MedianOf(kRuns * 5, [&](int i) {
    probe.frequency = 200.0f + static_cast<float>(i % 100);
    ComputeBandResponse(probe, kGridMinHz, kGridMaxHz, plot.Width());
  });
  volatile float sink = 0;
  const double sum = MedianOf(kRuns * 5, [&](int) { sink = sink + panel.Model().SummedResponse()[100]; });

  std::printf("EQ graph drag step, 15 bands, 1024 x 520, median of %d\n", kRuns);
  std::printf("  drag step (move + recompute + sum + repaint): %8.4f ms\n", step);
  std::printf("    input alone (move, recompute one band):    %8.4f ms\n", input);
  std::printf("    repaint alone (render into an image):      %8.4f ms  (%.0f%% of the step)\n", repaint,
              100.0 * repaint / step);
  std::printf("    summed response of 15 bands:               %8.4f ms\n", sum);
  std::printf("  one ComputeBandResponse:                     %8.4f ms\n", oneBand);
  std::printf("  step / one band response:                    %8.1f\n", step / oneBand);
  std::printf("  step / %.1f ms budget:                        %8.2f  (target <= 1)\n", kBudgetMs, step / kBudgetMs);
  return 0;
}
