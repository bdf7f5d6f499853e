#include "fake_mirror_process.h"

#include <sys/wait.h>

#include <sstream>
#include <vector>

namespace qa::test {

std::string FakeMirrorPath() {
  return QA_FAKE_MIRROR_PATH;
}

FakeMirrorProcess::FakeMirrorProcess(const Options& options) {
  std::vector<std::string> argv = {FakeMirrorPath(),
                                   "--at",
                                   std::to_string(options.x),
                                   std::to_string(options.y),
                                   "--size",
                                   std::to_string(options.width),
                                   std::to_string(options.height),
                                   "--toolbar",
                                   std::to_string(options.toolbar)};
  if (!options.image.empty()) argv.push_back(options.image);
  process_ = std::make_unique<ChildProcess>(argv);
  std::string line;
  if (!process_->Running() || !process_->ReadLine(line)) return;
  std::istringstream words(line);
  std::string word;
  ready_ = (words >> word >> topLevel_ >> picture_ >> toolbar_) && word == "ready";
}

FakeMirrorProcess::~FakeMirrorProcess() {
  Close();
}

bool FakeMirrorProcess::Command(const std::string& line) {
  std::string answer;
  return process_->WriteLine(line) && process_->ReadLine(answer) && answer == "ok";
}

bool FakeMirrorProcess::Close() {
  if (!process_->Running()) return false;
  process_->WriteLine("quit");
  const int status = process_->Finish();
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace qa::test
