#include "app/app_shell.h"

#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFont>
#include <chrono>
#include <thread>

#include "app/key_file.h"
#include "app/scoring_dispatcher.h"

namespace qa {

namespace {

constexpr int kApplicationFontPixels = 12;

Text FetchPageStub(const Text&, const std::atomic<bool>&) {
  return {};
}

}  // namespace

AppShell::AppShell(Endpoints endpoints, std::string keyFilePath)
    : endpoints_(std::move(endpoints)), window_(std::make_unique<MainWindow>()) {
  scoring_ = std::make_unique<ScoringDispatcher>(*window_, endpoints_, &FetchPageStub);
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
  // Threads may still wait for the window: let its events run until they end.
  scoring_->Shutdown([] { QCoreApplication::processEvents(QEventLoop::AllEvents, 5); });
  scoring_.reset();
}

void AppShell::PrepareEnvironment() {
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  if (!qEnvironmentVariableIsSet("QT_FONT_DPI")) qputenv("QT_FONT_DPI", "96");
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

void AppShell::OnSearch() {}

void AppShell::OnAccessToken() {}

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
  scoring_->Shutdown([] {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
}

}  // namespace qa
