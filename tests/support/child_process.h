// A child process for tests, talked to through its stdin and stdout lines.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace qa::test {

class ChildProcess {
 public:
  // Starts `argv[0]` (searched in PATH) with its stdin and stdout on pipes;
  // stderr is shared with the test. Check Running() afterwards.
  explicit ChildProcess(const std::vector<std::string>& argv);
  ~ChildProcess();  // closes stdin, then waits a moment and kills
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Running() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }
  // Writes one line (a newline is added).
  bool WriteLine(const std::string& line);
  // The next line of its stdout, without the newline; false at its end or
  // after `timeoutMs`.
  bool ReadLine(std::string& line, int timeoutMs = 10000);
  // Closes its stdin and waits for it to end, killing it after `timeoutMs`.
  // Gives the exit status as waitpid reports it.
  int Finish(int timeoutMs = 5000);

 private:
  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  std::string buffered_;
};

}  // namespace qa::test
