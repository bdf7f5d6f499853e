#include "quiz_card.h"

#include <QFont>
#include <QPainter>
#include <algorithm>

namespace qa::test {

namespace {

const QColor kBackground(0xFF, 0xFF, 0xFF);
const QColor kHeader(0xF4, 0x6A, 0x3C);
const QColor kText(0x22, 0x22, 0x22);
const QColor kOptionBorder(0xC8, 0xC8, 0xD2);

QFont CardFont(int pixels, bool bold) {
  QFont font(QStringLiteral("WenQuanYi Zen Hei"));
  font.setPixelSize(pixels);
  font.setBold(bold);
  font.setHintingPreference(QFont::PreferFullHinting);
  font.setStyleStrategy(QFont::NoAntialias);
  return font;
}

}  // namespace

QImage RenderQuizCard(const QuizCard& card) {
  QImage image(kCardWidth, kCardHeight, QImage::Format_RGB32);
  image.fill(kBackground);
  QPainter painter(&image);

  // The show's banner above the question area.
  painter.fillRect(0, 0, kCardWidth, 86, kHeader);
  painter.setPen(Qt::white);
  painter.setFont(CardFont(20, true));
  painter.drawText(QRect(0, 20, kCardWidth, 40), Qt::AlignCenter, card.name);

  // Question lines, then the options as buttons, inside the question area.
  const int count = static_cast<int>(card.lines.size());
  const int pitch = std::min(26, (kQuestionArea.height() - 8) / std::max(count, 1));
  int y = kQuestionArea.top() + 4;
  painter.setFont(CardFont(std::min(15, pitch - 5), false));
  for (int i = 0; i < count; ++i, y += pitch) {
    const bool option = i >= count - card.options;
    const QRect line(kQuestionArea.left() + 6, y, kQuestionArea.width() - 12, pitch - 2);
    if (option) {
      painter.setPen(kOptionBorder);
      painter.drawRect(line.adjusted(0, 0, -1, -1));
    }
    painter.setPen(kText);
    painter.drawText(line.adjusted(6, 0, -6, 0),
                     Qt::AlignVCenter | (option ? Qt::AlignHCenter : Qt::AlignLeft), card.lines[i]);
  }

  // The show's footer below it.
  painter.fillRect(0, kCardHeight - 60, kCardWidth, 60, kHeader.lighter(150));
  return image;
}

bool SaveQuizCard(const QuizCard& card, const QString& path) {
  return RenderQuizCard(card).save(path, "PNG");
}

}  // namespace qa::test
