// A fake mirror receiver beside the main window showing a quiz card, for
// scenarios whose OCR stand-in answers whatever the picture: each search then
// copies a window the size of the picture box instead of the whole screen,
// which keeps runs under the sanitizers quick.
#pragma once

#include <QGuiApplication>
#include <QString>
#include <memory>

#include "fake_mirror_process.h"
#include "quiz_card.h"

namespace qa::test {

// Writes the card to `pngPath` (the first call makes an offscreen
// QGuiApplication for the fonts) and shows it; null when either fails.
inline std::unique_ptr<FakeMirrorProcess> StartCardMirror(const QuizCard& card,
                                                          const QString& pngPath) {
  static int argc = 3;
  static char arg0[] = "card-mirror", arg1[] = "-platform", arg2[] = "offscreen";
  static char* argv[] = {arg0, arg1, arg2, nullptr};
  if (QGuiApplication::instance() == nullptr) new QGuiApplication(argc, argv);
  if (!SaveQuizCard(card, pngPath)) return nullptr;
  FakeMirrorProcess::Options options;
  options.image = pngPath.toStdString();
  options.x = 700;
  options.y = 50;
  options.width = kCardWidth;
  options.height = kCardHeight;
  auto mirror = std::make_unique<FakeMirrorProcess>(options);
  if (!mirror->Ready()) return nullptr;
  return mirror;
}

}  // namespace qa::test
