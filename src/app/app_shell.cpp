#include "app/app_shell.h"

#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFont>
#include <thread>

#include "app/access_token_command.h"
#include "app/input_blocker.h"
#include "app/key_file.h"
#include "app/scoring_dispatcher.h"
#include "app/search_command.h"
#include "net/http_transport.h"
#include "net/winhttp_request.h"

namespace qa {

namespace {

constexpr int kApplicationFontPixels = 12;

Text FetchSearchPage(const Text& url, const std::atomic<bool>&) {
  return WinHttpRequest(url);
}

void WarmConnections(const Text& baseUrl, int count) {
  PrepareConnections(baseUrl, count);
}

// Lets the window's events run while waiting for another thread.
void RunEventsAWhile() {
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 5);
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// What the window's thread does while a command waits for its request: the
// window keeps painting and can be closed, but takes no clicks or keys, as a
// window that waits for its request should.
void RunEventsWithoutInput() {
  const InputBlocker blocked;
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace

AppShell::AppShell(Endpoints endpoints, std::string keyFilePath)
    : endpoints_(std::move(endpoints)), window_(std::make_unique<MainWindow>()) {
  if (!endpoints_.caFile.empty()) SetExtraTrustedCaFile(endpoints_.caFile);
  scoring_ = std::make_unique<ScoringDispatcher>(*window_, endpoints_, &FetchSearchPage,
                                                 PageFetching::kShared, &WarmConnections);
  connect(window_.get(), &MainWindow::searchRequested, this, &AppShell::OnSearch);
  connect(window_.get(), &MainWindow::accessTokenRequested, this, &AppShell::OnAccessToken);
  connect(window_.get(), &MainWindow::productPageRequested, this, &AppShell::OnProductPage);
  connect(window_.get(), &MainWindow::closing, this, &AppShell::OnClosing);

  // The window has been created: fill the key boxes from the key file.
  state_.keyFilePath = std::move(keyFilePath);
  const KeyFile keyFile(state_.keyFilePath);
  window_->SetText(EditBox::ApiKey, keyFile.Read(kApiKeySection, kApiKeyName));
  window_->SetText(EditBox::SecretKey, keyFile.Read(kSecretKeySection, kSecretKeyName));
}

AppShell::~AppShell() {
  if (scoringStopped_) scoringStopped_ = scoring_->Shutdown(RunEventsAWhile, kShutdownPatience);
  if (!scoringStopped_) {
    // A thread stuck in a request may still reach for these: never free them.
    (void)scoring_.release();
    (void)window_.release();
  }
}

void AppShell::PrepareEnvironment() {
  // Every control sits at fixed pixels and the capture region counts screen
  // pixels: no scale factor of the desktop or the user may apply.
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  qunsetenv("QT_SCALE_FACTOR");
  qunsetenv("QT_SCREEN_SCALE_FACTORS");
  qunsetenv("QT_AUTO_SCREEN_SCALE_FACTOR");
  qputenv("QT_FONT_DPI", "96");
  if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX")) {
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  }
}

void AppShell::ApplyApplicationFont() {
  QFont font(QStringLiteral("WenQuanYi Zen Hei"));
  font.setPixelSize(kApplicationFontPixels);
  QApplication::setFont(font);
}

std::string AppShell::DefaultKeyFilePath() {
  return QDir(QCoreApplication::applicationDirPath())
      .filePath(QString::fromUtf8(kKeyFileName.data(), static_cast<int>(kKeyFileName.size())))
      .toStdString();
}

void AppShell::RunCommand(const std::function<void()>& command) {
  if (commandRunning_) return;
  commandRunning_ = true;
  commandTransfers_ = TransferCancelToken();
  {
    const TransferCancelScope cancel(commandTransfers_);
    const TransferWaitScope wait(&RunEventsWithoutInput);
    command();
  }
  commandRunning_ = false;
}

void AppShell::OnSearch() {
  RunCommand([this] {
    SearchCommandContext context{*window_, state_, endpoints_, *scoring_};
    SearchCommand(context);
  });
}

void AppShell::OnAccessToken() {
  RunCommand([this] { AccessTokenCommand(*window_, state_, endpoints_, &WarmConnections); });
}

void AppShell::OnProductPage() {
  window_->OpenInBrowser(endpoints_.productPage);
}

void AppShell::OnClosing() {
  // Save the key boxes as they stand; a failed write goes unreported.
  const KeyFile keyFile(state_.keyFilePath);
  keyFile.Write(
      {{std::string(kApiKeySection), std::string(kApiKeyName), window_->GetText(EditBox::ApiKey)},
       {std::string(kSecretKeySection), std::string(kSecretKeyName),
        window_->GetText(EditBox::SecretKey)}});
  // A command waiting for its request (the window closed from inside it)
  // gets its empty answer at once and ends quietly: the closed window shows
  // no more messages.
  commandTransfers_.Cancel();
  window_->hide();
  scoringStopped_ = scoring_->Shutdown(RunEventsAWhile, kShutdownPatience);
}

}  // namespace qa
