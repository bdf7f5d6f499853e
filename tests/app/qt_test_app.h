// The one QApplication of a test process that shows widgets.
#pragma once

#include <QApplication>

#include "app/app_shell.h"

namespace qa::test {

inline QApplication& TestApplication() {
  static int argc = 1;
  static char name[] = "quizassist-test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    AppShell::PrepareEnvironment();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    auto* created = new QApplication(argc, argv);
    AppShell::ApplyApplicationFont();
    return created;
  }();
  return *app;
}

}  // namespace qa::test
