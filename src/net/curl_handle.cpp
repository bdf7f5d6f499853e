#include "net/curl_handle.h"

#include <mutex>

namespace qa::curl {

namespace {

struct ShareDeleter {
  void operator()(CURLSH* share) const { curl_share_cleanup(share); }
};

// A curl share handle holding cookies, with one mutex per kind of shared data
// as libcurl asks for.
class CookieShare {
 public:
  CookieShare() : share_(curl_share_init()) {
    if (!share_) return;
    bool ok =
        curl_share_setopt(share_.get(), CURLSHOPT_LOCKFUNC, &CookieShare::Lock) == CURLSHE_OK &&
        curl_share_setopt(share_.get(), CURLSHOPT_UNLOCKFUNC, &CookieShare::Unlock) == CURLSHE_OK &&
        curl_share_setopt(share_.get(), CURLSHOPT_USERDATA, this) == CURLSHE_OK &&
        curl_share_setopt(share_.get(), CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE) == CURLSHE_OK;
    if (!ok) share_.reset();
  }

  CURLSH* get() const { return share_.get(); }

 private:
  static void Lock(CURL*, curl_lock_data data, curl_lock_access, void* self) noexcept {
    static_cast<CookieShare*>(self)->mutexes_[Index(data)].lock();
  }
  static void Unlock(CURL*, curl_lock_data data, void* self) noexcept {
    static_cast<CookieShare*>(self)->mutexes_[Index(data)].unlock();
  }
  static int Index(curl_lock_data data) {
    return data >= 0 && data < CURL_LOCK_DATA_LAST ? data : 0;
  }

  std::mutex mutexes_[CURL_LOCK_DATA_LAST];
  std::unique_ptr<CURLSH, ShareDeleter> share_;
};

}  // namespace

bool GlobalInit() {
  static std::once_flag once;
  static bool ok = false;
  std::call_once(once, [] { ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
  return ok;
}

CURLSH* SharedCookieStore() {
  if (!GlobalInit()) return nullptr;
  static CookieShare share;
  return share.get();
}

}  // namespace qa::curl
