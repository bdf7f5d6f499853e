// quizassist: start-up, the window's message loop and the exit.
#include <QApplication>

#include "app/app_shell.h"

int main(int argc, char** argv) {
  qa::AppShell::PrepareEnvironment();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("quizassist"));
  qa::AppShell::ApplyApplicationFont();
  qa::AppShell shell(qa::Endpoints{}, qa::AppShell::DefaultKeyFilePath());
  shell.Window().show();
  return QApplication::exec();
}
