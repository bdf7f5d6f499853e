// The application shell: the process-wide state, the main window and the
// scoring threads, and the wiring of the window's events to the commands.
#pragma once

#include <QObject>
#include <memory>
#include <string>

#include "app/endpoints.h"
#include "app/main_window.h"
#include "app/process_state.h"

namespace qa {

class ScoringDispatcher;

class AppShell : public QObject {
  Q_OBJECT

 public:
  // Creates the window (hidden) and fills the key boxes from the key file.
  AppShell(Endpoints endpoints, std::string keyFilePath);
  ~AppShell() override;

  // Settings that must be in place before the application object exists:
  // geometry in plain pixels whatever the desktop scaling, and the web
  // engine's sandbox off when running as root (it refuses to start there).
  static void PrepareEnvironment();
  // The font every control uses, in pixels so no screen setting moves it.
  static void ApplyApplicationFont();
  // "Key.ini" in the folder of the running executable.
  static std::string DefaultKeyFilePath();

  MainWindow& Window() { return *window_; }
  ProcessState& State() { return state_; }
  ScoringDispatcher& Scoring() { return *scoring_; }

 private:
  void OnSearch();
  void OnAccessToken();
  void OnProductPage();
  void OnClosing();

  ProcessState state_;
  Endpoints endpoints_;
  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<ScoringDispatcher> scoring_;
  bool commandRunning_ = false;
};

}  // namespace qa
