#include "app/picture_box.h"

#include <QPainter>
#include <QPen>

namespace qa {

PictureBoxWidget::PictureBoxWidget(QWidget* parent) : QWidget(parent) {
  setAutoFillBackground(false);
}

void PictureBoxWidget::SetPicture(const Bytes& bytes) {
  bytes_ = bytes;
  image_ = QImage();
  if (!bytes.empty()) {
    image_.loadFromData(bytes.data(), static_cast<int>(bytes.size()));
  }
  update();
}

void PictureBoxWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(QRect(QPoint(0, 0), size()), palette().color(QPalette::Window));
  if (image_.isNull()) return;
  QSize fitted = image_.size().scaled(size(), Qt::KeepAspectRatio);
  if (fitted == image_.size()) {
    painter.drawImage(QPoint(0, 0), image_);
    return;
  }
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(QRect(QPoint(0, 0), fitted), image_);
}

CaptureMarker::CaptureMarker(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_NoSystemBackground);
}

void CaptureMarker::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QPen pen(QColor(0x1E, 0x90, 0xFF));
  pen.setStyle(Qt::DashLine);
  painter.setPen(pen);
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace qa
