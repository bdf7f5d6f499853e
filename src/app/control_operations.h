// The operations through which the commands and the scoring threads drive the
// main window. The window implements them; tests put a fake window behind the
// same interface.
//
// Every operation may be called from any thread. Called from another thread it
// runs on the user-interface thread and waits until that thread has carried it
// out; called on the user-interface thread it runs directly. Rows and columns
// are 0-based.
#pragma once

#include <functional>

#include "text/text.h"

namespace qa {

class WindowRenderer;

// The edit boxes whose text the commands set and read.
enum class EditBox {
  ApiKey,       // 编辑框1
  SecretKey,    // 编辑框2
  Recognition,  // 识别编辑框
};

// The two picture boxes.
enum class PictureBox {
  Screen,  // 图片框1: the picture of the mirror window
  Crop,    // 图片框2: the cut-out question area
};

// The rectangle of 透明标签1 in pixels inside 图片框1.
struct CaptureRegion {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

// Flags of ShowMessage.
inline constexpr int kMessageOk = 0;
inline constexpr int kMessageExclamation = 48;

class ControlOperations {
 public:
  virtual ~ControlOperations() = default;

  // 超级列表框1.
  virtual void DeleteAllRows() = 0;
  // Appends an empty row at the end; its index, or -1 on failure.
  virtual int InsertRow() = 0;
  // A row that does not exist is left alone.
  virtual void SetCellText(int row, int column, const Text& text) = 0;
  // Empty for a row that does not exist.
  virtual Text GetCellText(int row, int column) = 0;
  virtual int RowCount() = 0;

  // Appends to the end of 识别编辑框, whatever the caret or selection, and
  // scrolls the end into view.
  virtual void AppendText(const Text& text) = 0;
  virtual void SetText(EditBox box, const Text& text) = 0;
  virtual Text GetText(EditBox box) = 0;

  // Shows the image held by the bytes (BMP, PNG, JPEG...); empty or
  // undecodable bytes show no picture.
  virtual void SetPicture(PictureBox box, const Bytes& image) = 0;
  // The bytes last given to SetPicture, unchanged.
  virtual Bytes GetPicture(PictureBox box) = 0;
  // 图片框1 as a window to render (see CaptureWindow). Use it on the
  // user-interface thread only.
  virtual const WindowRenderer& ScreenBoxWindow() = 0;
  virtual CaptureRegion GetCaptureRegion() = 0;

  // 超文本浏览框1 navigates to the URL.
  virtual void SetAddress(const Text& url) = 0;
  // A modal message box with one OK button; returns once it was answered.
  // The title is "信息：" when none is given; flags 48 add the exclamation icon.
  virtual void ShowMessage(const Text& text, int flags, const Text& title = {}) = 0;
  // Opens the URL in the default web browser without waiting.
  virtual void OpenInBrowser(const Text& url) = 0;
  // Runs the pending window events again and again until more than `ms`
  // milliseconds have passed.
  virtual void PumpEvents(int ms) = 0;

  // Runs `step` on the user-interface thread, serialised with every other
  // operation, and returns once it has run. Lets a scoring thread check and
  // write in one step.
  virtual void Invoke(const std::function<void()>& step) = 0;
};

}  // namespace qa
