// MainWindow: the program's single window with its controls, laid out in
// fixed pixels, and the control operations the commands drive it through.
//
// Every control carries its form name as its object name (编辑框1, 按钮1,
// 超级列表框1, 识别编辑框, 图片框1, 透明标签1, 图片框2, 超文本浏览框1, ...).
// The window only reports its events (search, access token, product page,
// closing); what they do is wired up by the application shell.
#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>

#include "app/control_operations.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;
class QWebEngineView;

namespace qa {

class CaptureMarker;
class PictureBoxWidget;
class WidgetRenderer;

class MainWindow : public QWidget, public ControlOperations {
  Q_OBJECT

 public:
  explicit MainWindow(QWidget* parent = nullptr);
  ~MainWindow() override;

  // The outer rectangle of the window, frame included, on the screen.
  static constexpr int kLeft = 50;
  static constexpr int kTop = 50;
  static constexpr int kWidth = 554;
  static constexpr int kHeight = 687;

  // The address last given to SetAddress.
  QString Address() const { return address_; }

  // Control operations.
  void DeleteAllRows() override;
  int InsertRow() override;
  void SetCellText(int row, int column, const Text& text) override;
  Text GetCellText(int row, int column) override;
  int RowCount() override;
  void AppendText(const Text& text) override;
  void SetText(EditBox box, const Text& text) override;
  Text GetText(EditBox box) override;
  void SetPicture(PictureBox box, const Bytes& image) override;
  Bytes GetPicture(PictureBox box) override;
  const WindowRenderer& ScreenBoxWindow() override;
  CaptureRegion GetCaptureRegion() override;
  void SetAddress(const Text& url) override;
  void ShowMessage(const Text& text, int flags, const Text& title = {}) override;
  void OpenInBrowser(const Text& url) override;
  void PumpEvents(int ms) override;
  void Invoke(const std::function<void()>& step) override;

 signals:
  // 按钮1 was clicked or F9 pressed.
  void searchRequested();
  // 按钮5 was clicked.
  void accessTokenRequested();
  // 超级链接框1 was clicked.
  void productPageRequested();
  // The window is about to close; handlers run before it closes.
  void closing();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  // Runs `step` on the user-interface thread and waits for it.
  template <typename Step>
  auto OnUiThread(Step step);
  void FitFrameToOuterRectangle();
  QLineEdit* EditOf(EditBox box) const;
  PictureBoxWidget* PictureOf(PictureBox box) const;

  QLineEdit* apiKeyEdit_ = nullptr;            // 编辑框1
  QLineEdit* secretKeyEdit_ = nullptr;         // 编辑框2
  QPushButton* searchButton_ = nullptr;        // 按钮1
  QPlainTextEdit* recognitionEdit_ = nullptr;  // 识别编辑框
  QTreeWidget* optionList_ = nullptr;          // 超级列表框1
  PictureBoxWidget* screenBox_ = nullptr;      // 图片框1
  CaptureMarker* captureMarker_ = nullptr;     // 透明标签1
  PictureBoxWidget* cropBox_ = nullptr;        // 图片框2
  QPointer<QWebEngineView> browser_;           // 超文本浏览框1
  std::unique_ptr<WidgetRenderer> screenBoxRenderer_;
  QString address_;
  bool closed_ = false;
};

}  // namespace qa
