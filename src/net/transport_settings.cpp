// Process-wide transport settings: extra trusted CA certificates, the default
// phase time-out and the shared cookie store.
#include <atomic>
#include <fstream>
#include <mutex>
#include <sstream>

#include "net/curl_handle.h"
#include "net/http_transport.h"

namespace qa {

namespace {

constexpr std::chrono::milliseconds kStandardPhaseTimeout{30000};
constexpr const char* kFallbackSystemBundle = "/etc/ssl/certs/ca-certificates.crt";

std::mutex caMutex;
std::shared_ptr<const std::string> caBundle;  // guarded by caMutex
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

// The CA file libcurl verifies against when it is given none.
std::string SystemBundlePath() {
  if (curl::GlobalInit()) {
    const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
    if (info && info->age >= CURLVERSION_SEVENTH && info->cainfo) return info->cainfo;
  }
  return kFallbackSystemBundle;
}

}  // namespace

namespace curl {

std::shared_ptr<const std::string> TrustedCaBundle() {
  std::lock_guard lock(caMutex);
  return caBundle;
}

}  // namespace curl

bool SetExtraTrustedCaFile(std::string_view pemPath) {
  if (pemPath.empty()) {
    std::lock_guard lock(caMutex);
    caBundle.reset();
    return true;
  }
  std::string extra;
  if (!ReadWholeFile(std::string(pemPath), extra)) return false;
  std::string bundle;
  ReadWholeFile(SystemBundlePath(), bundle);  // a machine without one trusts the extra CA only
  if (!bundle.empty() && bundle.back() != '\n') bundle += '\n';
  bundle += extra;
  auto shared = std::make_shared<const std::string>(std::move(bundle));
  std::lock_guard lock(caMutex);
  caBundle = std::move(shared);
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
