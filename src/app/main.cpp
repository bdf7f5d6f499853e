// quizassist: start-up, the window's message loop and the exit.
#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "app/app_shell.h"

int main(int argc, char** argv) {
  qa::AppShell::PrepareEnvironment();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("quizassist"));
  qa::AppShell::ApplyApplicationFont();
  qa::AppShell shell(qa::Endpoints{}, qa::AppShell::DefaultKeyFilePath());
  shell.Window().show();
  const int result = QApplication::exec();
  if (!shell.ScoringStopped()) {
    // A scoring thread is stuck in a page request: end without destructors.
    std::fflush(nullptr);
    std::quick_exit(result);
  }
  return result;
}
