// Keeps the user's clicks and keys from every window of the application
// while an object of it lives; everything else (painting, timers, messages
// of other threads, a request to close) still runs.
#pragma once

#include <QObject>

namespace qa {

class InputBlocker : public QObject {
 public:
  InputBlocker();
  ~InputBlocker() override;
  InputBlocker(const InputBlocker&) = delete;
  InputBlocker& operator=(const InputBlocker&) = delete;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace qa
