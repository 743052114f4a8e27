// A progress line for long work on a terminal: "label  done/total  what", rewritten in place at
// most a few times a second and cleared when the work ends. When standard error is not a
// terminal (a log, a pipe, CI) nothing is written, so captured output stays clean.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace qlnsales::cli {

class Progress {
 public:
  Progress(std::string label, long total);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  void Step(long done, std::string_view what = {});
  bool shown() const { return tty_; }

 private:
  std::string label_;
  long total_;
  bool tty_;
  std::size_t width_ = 0;
  std::chrono::steady_clock::time_point last_{};
};

}  // namespace qlnsales::cli
