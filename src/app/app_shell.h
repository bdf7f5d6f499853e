// The application shell: the process-wide state, the main window and the
// scoring threads, and the wiring of the window's events to the commands.
#pragma once

#include <QObject>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "app/endpoints.h"
#include "app/main_window.h"
#include "app/process_state.h"
#include "net/http_transport.h"

namespace qa {

class ScoringDispatcher;

class AppShell : public QObject {
  Q_OBJECT

 public:
  // How long closing waits for scoring threads busy with a page request.
  static constexpr std::chrono::milliseconds kShutdownPatience{5000};

  // Creates the window (hidden) and fills the key boxes from the key file.
  AppShell(Endpoints endpoints, std::string keyFilePath);
  ~AppShell() override;

  // Settings that must be in place before the application object exists:
  // geometry in plain pixels whatever scaling the desktop asks for (scale
  // factors, font resolution), and the web engine's sandbox off when running
  // as root (it refuses to start there).
  static void PrepareEnvironment();
  // The font every control uses, in pixels so no screen setting moves it.
  static void ApplyApplicationFont();
  // "Key.ini" in the folder of the running executable.
  static std::string DefaultKeyFilePath();

  MainWindow& Window() { return *window_; }
  ProcessState& State() { return state_; }
  ScoringDispatcher& Scoring() { return *scoring_; }

  // False when closing gave up waiting for a scoring thread stuck in a page
  // request: the process should then end without running destructors
  // (std::quick_exit), since that thread may still use the window.
  bool ScoringStopped() const { return scoringStopped_; }

 private:
  void OnSearch();
  void OnAccessToken();
  void OnProductPage();
  void OnClosing();
  // Runs a command unless one is under way already (message boxes and event
  // pumping inside a command must not start another one).
  void RunCommand(const std::function<void()>& command);

  ProcessState state_;
  Endpoints endpoints_;
  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<ScoringDispatcher> scoring_;
  bool commandRunning_ = false;
  // Ends the running command's requests when the window closes.
  TransferCancelToken commandTransfers_;
  bool scoringStopped_ = true;
};

}  // namespace qa
