// Quiz cards as a phone shows them, drawn the same way every time, for the
// fake mirror receiver to show and the OCR stand-in to recognise.
//
// A card is 248 x 392 pixels, the size of the picture box, so the picture box
// shows it unscaled: its question and options stand inside the question area
// (8, 98, 224 x 166) that the capture marker covers.
#pragma once

#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>

namespace qa::test {

inline constexpr int kCardWidth = 248;
inline constexpr int kCardHeight = 392;
inline const QRect kQuestionArea(8, 98, 224, 166);

struct QuizCard {
  QString name;
  // The text lines top to bottom, as the OCR service reports them: the
  // question's lines, then one line per option.
  QStringList lines;
  // How many of the lines are options (drawn as buttons).
  int options = 3;
};

// Needs a QGuiApplication (fonts).
QImage RenderQuizCard(const QuizCard& card);

// The part of the card under the capture marker.
inline QImage QuestionAreaOf(const QImage& card) {
  return card.copy(kQuestionArea);
}

// Writes the card as a PNG file; false on failure.
bool SaveQuizCard(const QuizCard& card, const QString& path);

}  // namespace qa::test
