// Gives a test program an X server of its own for all its tests: add
//   const auto* const kXServer =
//       ::testing::AddGlobalTestEnvironment(new qa::test::XServerEnvironment);
// at namespace scope in one of its files.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "private_x_server.h"

namespace qa::test {

class XServerEnvironment : public ::testing::Environment {
 public:
  explicit XServerEnvironment(int width = 1280, int height = 1024)
      : width_(width), height_(height) {}
  void SetUp() override {
    server_ = std::make_unique<PrivateXServer>(width_, height_);
    ASSERT_TRUE(server_->Running()) << "Xvfb did not start";
  }
  void TearDown() override { server_.reset(); }

 private:
  int width_, height_;
  std::unique_ptr<PrivateXServer> server_;
};

}  // namespace qa::test
