// Runs the fake mirror receiver (the fake_mirror program) for a test on the
// display named by DISPLAY, and steers it.
#pragma once

#include <memory>
#include <string>

#include "child_process.h"

namespace qa::test {

// Path of the fake_mirror program, fixed at build time.
std::string FakeMirrorPath();

class FakeMirrorProcess {
 public:
  struct Options {
    std::string image;  // shown at natural size from the picture's top-left corner
    int x = 0, y = 0;
    int width = 400, height = 800;  // the picture child
    int toolbar = 40;               // the toolbar child below it
  };

  // Starts the receiver and waits until its window is on the screen.
  explicit FakeMirrorProcess(const Options& options);
  ~FakeMirrorProcess();

  // Whether it started and printed its window ids.
  bool Ready() const { return ready_; }
  unsigned long TopLevel() const { return topLevel_; }
  unsigned long Picture() const { return picture_; }
  unsigned long Toolbar() const { return toolbar_; }

  // Each returns once the X server has carried the change out.
  bool Move(int x, int y) { return Command("move " + std::to_string(x) + " " + std::to_string(y)); }
  bool Resize(int width, int height) {
    return Command("resize " + std::to_string(width) + " " + std::to_string(height));
  }
  bool Hide() { return Command("hide"); }
  bool Show() { return Command("show"); }
  bool Raise() { return Command("raise"); }
  bool ShowImage(const std::string& path) { return Command("image " + path); }
  // Closes the window and waits for the program to end.
  bool Close();

 private:
  bool Command(const std::string& line);

  std::unique_ptr<ChildProcess> process_;
  bool ready_ = false;
  unsigned long topLevel_ = 0, picture_ = 0, toolbar_ = 0;
};

}  // namespace qa::test
