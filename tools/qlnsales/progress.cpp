#include "progress.h"

#include <unistd.h>

#include <cstdio>

namespace qlnsales::cli {

Progress::Progress(std::string label, long total)
    : label_(std::move(label)), total_(total), tty_(isatty(STDERR_FILENO) == 1) {}

Progress::~Progress() {
  if (tty_ && width_ > 0) std::fprintf(stderr, "\r%*s\r", static_cast<int>(width_), "");
}

void Progress::Step(long done, std::string_view what) {
  if (!tty_) return;
  const auto now = std::chrono::steady_clock::now();
  // The terminal is redrawn a few times a second at most, and always for the last step.
  if (done < total_ && now - last_ < std::chrono::milliseconds(200)) return;
  last_ = now;
  std::string line = label_ + "  " + std::to_string(done) + "/" + std::to_string(total_);
  if (!what.empty()) line += "  " + std::string(what);
  const std::size_t pad = width_ > line.size() ? width_ - line.size() : 0;
  std::fprintf(stderr, "\r%s%*s", line.c_str(), static_cast<int>(pad), "");
  std::fflush(stderr);
  width_ = std::max(width_, line.size());
}

}  // namespace qlnsales::cli
