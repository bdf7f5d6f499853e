#include "app/widget_capture.h"

#include <QImage>
#include <algorithm>
#include <bit>
#include <cstring>

namespace qa {

static_assert(std::endian::native == std::endian::little,
              "RGB32 words are taken as blue, green, red, unused bytes");

WidgetRenderer::WidgetRenderer(QWidget* widget, const std::vector<QWidget*>& leftOut)
    : widget_(widget), leftOut_(leftOut.begin(), leftOut.end()) {}

bool WidgetRenderer::IsLeftOut(const QWidget* widget) const {
  return std::any_of(leftOut_.begin(), leftOut_.end(),
                     [widget](const QPointer<QWidget>& w) { return w.data() == widget; });
}

// Each widget is drawn on its own, without its children, and then its
// children in their stacking order (bottom first) on top of it, so that a
// left-out child takes nothing with it but itself and its own children.
void WidgetRenderer::Draw(QWidget* widget, QPaintDevice& target, QPoint offset, bool isRoot) const {
  const QWidget::RenderFlags flags =
      isRoot ? QWidget::RenderFlags(QWidget::DrawWindowBackground) : QWidget::RenderFlags();
  widget->render(&target, offset, QRegion(), flags);
  for (QObject* object : widget->children()) {
    auto* child = qobject_cast<QWidget*>(object);
    if (child == nullptr || child->isWindow() || !child->isVisibleTo(widget) || IsLeftOut(child)) {
      continue;
    }
    Draw(child, target, offset + child->pos(), false);
  }
}

bool WidgetRenderer::RenderWindow(WindowPixels& out) const {
  QWidget* widget = widget_.data();
  if (widget == nullptr) return false;
  const QSize size = widget->size();
  if (size.isEmpty()) return false;

  QImage image(size, QImage::Format_RGB32);
  image.setDevicePixelRatio(1.0);
  image.fill(Qt::black);
  Draw(widget, image, QPoint(0, 0), true);

  out.width = image.width();
  out.height = image.height();
  out.xPelsPerMeter = image.dotsPerMeterX();
  out.yPelsPerMeter = image.dotsPerMeterY();
  const std::size_t rowBytes = static_cast<std::size_t>(out.width) * 4;
  out.rows.resize(rowBytes * out.height);
  // Format_RGB32 holds 0xFFRRGGBB words: in memory blue, green, red, 0xFF.
  for (int y = 0; y < out.height; ++y) {
    std::memcpy(out.rows.data() + y * rowBytes, image.constScanLine(y), rowBytes);
  }
  return true;
}

Bytes CaptureWidget(QWidget* widget, const std::vector<QWidget*>& leftOut) {
  if (widget == nullptr) return {};
  return CaptureWindow(WidgetRenderer(widget, leftOut));
}

}  // namespace qa
