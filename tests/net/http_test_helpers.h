// What the HTTP request tests share: trusting the test CA, short phase
// time-outs for the stalled cases, and a stop-watch.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "net/http_transport.h"
#include "test_ca.h"

namespace qa::test {

// Trusts the process-wide test CA from here on and returns it.
inline const TestCa& TrustTestCa() {
  const TestCa& ca = TestCa::Shared();
  SetExtraTrustedCaFile(ca.CaCertPath());
  return ca;
}

// Shortens the default phase time-out for one test.
class ScopedPhaseTimeout {
 public:
  explicit ScopedPhaseTimeout(std::chrono::milliseconds timeout) {
    SetDefaultPhaseTimeout(timeout);
  }
  ~ScopedPhaseTimeout() { SetDefaultPhaseTimeout(std::chrono::milliseconds(0)); }
};

class StopWatch {
 public:
  std::chrono::milliseconds Elapsed() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start_);
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// Replaces every "{key}" of a text by its value.
inline std::string Fill(std::string text,
                        const std::vector<std::pair<std::string, std::string>>& values) {
  for (const auto& [key, value] : values) {
    const std::string marker = "{" + key + "}";
    for (std::size_t pos = text.find(marker); pos != std::string::npos;
         pos = text.find(marker, pos + value.size())) {
      text.replace(pos, marker.size(), value);
    }
  }
  return text;
}

}  // namespace qa::test
