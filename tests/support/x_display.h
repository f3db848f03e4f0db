// A private X display for a test (Xvfb on a free display number), and windows of other processes on
// it. Skips the calling test when Xvfb is not installed. Everything started is ended by its PID.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

class XDisplay {
 public:
  XDisplay();  // starts Xvfb and sets DISPLAY; ok() tells whether it came up
  ~XDisplay();  // ends what it started and restores DISPLAY
  bool ok() const { return pid_ > 0; }
  // Starts `program` (argv) with this display; returns when a window titled `title` is mapped.
  bool StartWindowProgram(const std::vector<std::string>& argv, const std::string& title);

 private:
  int pid_ = -1;
  std::vector<int> children_;
  std::string saved_display_;
  bool had_display_ = false;
};

}  // namespace testing_support
