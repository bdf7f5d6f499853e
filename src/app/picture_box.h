// 图片框1 and 图片框2: a box that shows one picture, scaled down or up to fit
// the box with its proportions kept and anchored at the top-left corner, so a
// mirror window of any size shows the whole phone screen and the question
// always lands at the same place under the capture marker.
#pragma once

#include <QImage>
#include <QWidget>

#include "text/text.h"

namespace qa {

class PictureBoxWidget : public QWidget {
  Q_OBJECT

 public:
  explicit PictureBoxWidget(QWidget* parent = nullptr);

  // Shows the image in the bytes; empty or undecodable bytes show none.
  void SetPicture(const Bytes& bytes);
  const Bytes& Picture() const { return bytes_; }
  const QImage& Image() const { return image_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Bytes bytes_;
  QImage image_;
};

// 透明标签1: a transparent marker over 图片框1 whose rectangle is the capture
// region. On screen it shows as a thin dashed outline; it takes no clicks.
class CaptureMarker : public QWidget {
  Q_OBJECT

 public:
  explicit CaptureMarker(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace qa
