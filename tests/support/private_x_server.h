// An X server of the test process's own, so that windows of tests that run
// at the same time cannot cover or disturb what a test looks at.
#pragma once

#include <sys/types.h>

#include <string>

namespace qa::test {

class PrivateXServer {
 public:
  // Starts Xvfb with one screen of width x height at `depth` bits and, once
  // it accepts clients, points DISPLAY at it.
  PrivateXServer(int width = 1280, int height = 1024, int depth = 24);
  ~PrivateXServer();  // stops it and gives DISPLAY back its old value
  PrivateXServer(const PrivateXServer&) = delete;
  PrivateXServer& operator=(const PrivateXServer&) = delete;

  bool Running() const { return pid_ > 0 && !display_.empty(); }
  const std::string& Display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
  std::string oldDisplay_;
  bool hadDisplay_ = false;
};

}  // namespace qa::test
