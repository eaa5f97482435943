#pragma once
// The progress of a transfer as one line that updates itself on a terminal
// ("reading  45%  chunk 28 of 63"). Nothing is drawn when stderr is not a terminal, so a
// script's log holds only the result lines.
#include <mutex>

namespace dsptune::cli {

class ProgressLine {
 public:
  // Drawn only when stderr is a terminal and `quiet` is false.
  explicit ProgressLine(bool quiet);
  ~ProgressLine();  // Clear()
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  bool Shown() const { return shown_; }
  // Any thread. `what` is "reading" or "writing"; chunk 1..total.
  void Update(const char* what, int chunk, int total);
  // Erases the line, so the next message starts on a clean line.
  void Clear();

 private:
  bool shown_ = false;
  std::mutex mutex_;
  int width_ = 0;  // characters on the line now
};

}  // namespace dsptune::cli
