// Process-wide transport settings: extra trusted CA certificates, the default
// phase time-out and the shared cookie store.
#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

#include "net/curl_handle.h"
#include "net/http_transport.h"

namespace qa {

namespace {

constexpr std::chrono::milliseconds kStandardPhaseTimeout{30000};
std::mutex caMutex;
std::shared_ptr<const std::string> extraCas;  // guarded by caMutex
std::atomic<long long> phaseTimeoutMs{kStandardPhaseTimeout.count()};

bool ReadWholeFile(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  if (in.bad()) return false;
  out = buffer.str();
  return true;
}

// The CA locations libcurl was built to use.
const curl_version_info_data* CurlBuild() {
  if (!curl::GlobalInit()) return nullptr;
  const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
  return info && info->age >= CURLVERSION_SEVENTH ? info : nullptr;
}

}  // namespace

namespace curl {

const std::string& SystemCaDirectory() {
  static const std::string directory = [] {
    const curl_version_info_data* info = CurlBuild();
    std::error_code error;
    if (info && info->capath && std::filesystem::is_directory(info->capath, error)) {
      return std::string(info->capath);
    }
    return std::string();
  }();
  return directory;
}

std::shared_ptr<const std::string> ExtraTrustedCas() {
  std::lock_guard lock(caMutex);
  return extraCas;
}

}  // namespace curl

bool SetExtraTrustedCaFile(std::string_view pemPath) {
  if (pemPath.empty()) {
    std::lock_guard lock(caMutex);
    extraCas.reset();
    return true;
  }
  std::string extra;
  if (!ReadWholeFile(std::string(pemPath), extra)) return false;
  std::string trusted;
  if (curl::SystemCaDirectory().empty()) {
    const curl_version_info_data* info = CurlBuild();
    if (info && info->cainfo) ReadWholeFile(info->cainfo, trusted);
    if (!trusted.empty() && trusted.back() != '\n') trusted += '\n';
  }
  trusted += extra;
  auto shared = std::make_shared<const std::string>(std::move(trusted));
  std::lock_guard lock(caMutex);
  extraCas = std::move(shared);
  return true;
}

void SetDefaultPhaseTimeout(std::chrono::milliseconds timeout) {
  phaseTimeoutMs = timeout.count() > 0 ? timeout.count() : kStandardPhaseTimeout.count();
}

std::chrono::milliseconds DefaultPhaseTimeout() {
  return std::chrono::milliseconds(phaseTimeoutMs.load());
}

void ClearStoredCookies() {
  CURLSH* store = curl::SharedCookieStore();
  if (!store) return;
  curl::EasyHandle easy(curl_easy_init());
  if (!easy) return;
  curl_easy_setopt(easy.get(), CURLOPT_SHARE, store);
  curl_easy_setopt(easy.get(), CURLOPT_COOKIEFILE, "");
  curl_easy_setopt(easy.get(), CURLOPT_COOKIELIST, "ALL");
}

}  // namespace qa
