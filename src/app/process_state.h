// The texts the commands share for the life of the process.
#pragma once

#include <mutex>
#include <string>

#include "text/text.h"

namespace qa {

struct ProcessState {
  Text apiKey;       // from 编辑框1, when the access-token command runs
  Text secretKey;    // from 编辑框2, likewise
  Text accessToken;  // the OCR service's token; kept in memory only
  std::string keyFilePath;

  // The recognised question of the latest search. Written on the
  // user-interface thread and readable from any thread.
  Text QuestionText() const {
    std::lock_guard lock(questionLock_);
    return questionText_;
  }
  void SetQuestionText(Text question) {
    std::lock_guard lock(questionLock_);
    questionText_ = std::move(question);
  }

 private:
  mutable std::mutex questionLock_;
  Text questionText_;
};

}  // namespace qa
