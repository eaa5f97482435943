#include "tools/cli/Progress.h"

#include <unistd.h>

#include <cstdio>

namespace dsptune::cli {

ProgressLine::ProgressLine(bool quiet) : shown_(!quiet && ::isatty(STDERR_FILENO) == 1) {}

ProgressLine::~ProgressLine() { Clear(); }

void ProgressLine::Update(const char* what, int chunk, int total) {
  if (!shown_ || total <= 0) return;
  std::lock_guard lock(mutex_);
  char line[96];
  const int n = std::snprintf(line, sizeof line, "%s %3d%%  chunk %d of %d", what, chunk * 100 / total, chunk, total);
  // Padding covers what a longer previous line left behind.
  std::fprintf(stderr, "\r%s%*s", line, width_ > n ? width_ - n : 0, "");
  std::fflush(stderr);
  width_ = n;
}

void ProgressLine::Clear() {
  if (!shown_) return;
  std::lock_guard lock(mutex_);
  if (width_ == 0) return;
  std::fprintf(stderr, "\r%*s\r", width_, "");
  std::fflush(stderr);
  width_ = 0;
}

}  // namespace dsptune::cli
