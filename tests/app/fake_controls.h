// A window stand-in for testing the commands and the scoring threads: it keeps
// what the operations set and records what they show, serialising every
// operation the way the user-interface thread does.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "app/control_operations.h"
#include "capture/capture_window.h"

namespace qa::test {

struct ShownMessage {
  Text text;
  int flags = 0;
  Text title;
};

class FakeControls : public ControlOperations {
 public:
  struct Row {
    Text option;
    Text result;
  };
  // Every write of a list cell, in order.
  struct CellWrite {
    int row;
    int column;
    Text text;
  };

  void DeleteAllRows() override {
    std::lock_guard lock(mutex_);
    rows_.clear();
  }
  int InsertRow() override {
    std::lock_guard lock(mutex_);
    rows_.push_back({});
    return static_cast<int>(rows_.size()) - 1;
  }
  void SetCellText(int row, int column, const Text& text) override {
    std::lock_guard lock(mutex_);
    cellWrites_.push_back({row, column, text});
    if (row < 0 || row >= static_cast<int>(rows_.size())) return;
    (column == 0 ? rows_[row].option : rows_[row].result) = text;
  }
  Text GetCellText(int row, int column) override {
    std::lock_guard lock(mutex_);
    if (row < 0 || row >= static_cast<int>(rows_.size())) return {};
    return column == 0 ? rows_[row].option : rows_[row].result;
  }
  int RowCount() override {
    std::lock_guard lock(mutex_);
    return static_cast<int>(rows_.size());
  }
  void AppendText(const Text& text) override {
    std::lock_guard lock(mutex_);
    recognition_ += text;
  }
  void SetText(EditBox box, const Text& text) override {
    std::lock_guard lock(mutex_);
    EditText(box) = text;
  }
  Text GetText(EditBox box) override {
    std::lock_guard lock(mutex_);
    return EditText(box);
  }
  void SetPicture(PictureBox box, const Bytes& image) override {
    std::lock_guard lock(mutex_);
    (box == PictureBox::Screen ? screenPicture_ : cropPicture_) = image;
  }
  Bytes GetPicture(PictureBox box) override {
    std::lock_guard lock(mutex_);
    return box == PictureBox::Screen ? screenPicture_ : cropPicture_;
  }
  const WindowRenderer& ScreenBoxWindow() override { return screenBox_; }
  CaptureRegion GetCaptureRegion() override { return {8, 98, 224, 166}; }
  void SetAddress(const Text& url) override {
    std::lock_guard lock(mutex_);
    address_ = url;
  }
  void ShowMessage(const Text& text, int flags, const Text& title) override {
    std::lock_guard lock(mutex_);
    messages_.push_back({text, flags, title});
  }
  void OpenInBrowser(const Text& url) override {
    std::lock_guard lock(mutex_);
    opened_.push_back(url);
  }
  void PumpEvents(int) override { ++pumps_; }
  void Invoke(const std::function<void()>& step) override {
    std::lock_guard lock(mutex_);
    step();
  }

  // What the window shows.
  std::vector<Row> Rows() {
    std::lock_guard lock(mutex_);
    return rows_;
  }
  std::vector<CellWrite> CellWrites() {
    std::lock_guard lock(mutex_);
    return cellWrites_;
  }
  std::vector<ShownMessage> Messages() {
    std::lock_guard lock(mutex_);
    return messages_;
  }
  std::vector<Text> Opened() {
    std::lock_guard lock(mutex_);
    return opened_;
  }
  Text Address() {
    std::lock_guard lock(mutex_);
    return address_;
  }
  int Pumps() const { return pumps_; }

  // Fills the list with rows of the given options.
  void SetRows(const std::vector<Text>& options) {
    std::lock_guard lock(mutex_);
    rows_.clear();
    for (const Text& option : options) rows_.push_back({option, {}});
  }

  // 图片框1 renders as a box of this size and colour (blue, green, red).
  struct ScreenBox : WindowRenderer {
    int width = 248, height = 392;
    std::uint8_t blue = 0x80, green = 0x40, red = 0x20;
    bool RenderWindow(WindowPixels& out) const override {
      out.width = width;
      out.height = height;
      out.rows.assign(static_cast<std::size_t>(width) * height * 4, 0);
      for (std::size_t i = 0; i < out.rows.size(); i += 4) {
        out.rows[i] = blue;
        out.rows[i + 1] = green;
        out.rows[i + 2] = red;
      }
      return true;
    }
  } screenBox_;

 private:
  Text& EditText(EditBox box) {
    switch (box) {
      case EditBox::ApiKey:
        return apiKey_;
      case EditBox::SecretKey:
        return secretKey_;
      default:
        return recognition_;
    }
  }

  std::recursive_mutex mutex_;
  std::vector<Row> rows_;
  std::vector<CellWrite> cellWrites_;
  std::vector<ShownMessage> messages_;
  std::vector<Text> opened_;
  Text apiKey_, secretKey_, recognition_, address_;
  Bytes screenPicture_, cropPicture_;
  std::atomic<int> pumps_{0};
};

}  // namespace qa::test
