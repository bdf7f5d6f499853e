// CaptureWindow for Qt widgets: a widget drawn by its own painting code, the
// way it would appear on the screen, whatever covers it there.
#pragma once

#include <QPointer>
#include <QWidget>
#include <vector>

#include "capture/capture_window.h"

namespace qa {

// Draws a widget, border and children included, except the listed
// descendants (and everything inside them): a marker drawn over a picture
// can be left out of the picture's capture. Runs on the GUI thread.
class WidgetRenderer final : public WindowRenderer {
 public:
  explicit WidgetRenderer(QWidget* widget, const std::vector<QWidget*>& leftOut = {});
  // False when the widget is gone or has no area.
  bool RenderWindow(WindowPixels& out) const override;

 private:
  bool IsLeftOut(const QWidget* widget) const;
  void Draw(QWidget* widget, QPaintDevice& target, QPoint offset, bool isRoot) const;

  QPointer<QWidget> widget_;
  std::vector<QPointer<QWidget>> leftOut_;
};

// The BMP file of the widget's appearance without the `leftOut` descendants;
// empty Bytes for a null widget.
Bytes CaptureWidget(QWidget* widget, const std::vector<QWidget*>& leftOut = {});

}  // namespace qa
