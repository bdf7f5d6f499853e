#include "private_x_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace qa::test {

PrivateXServer::PrivateXServer(int width, int height, int depth) {
  if (const char* old = std::getenv("DISPLAY")) {
    hadDisplay_ = true;
    oldDisplay_ = old;
  }
  int ready[2];
  if (pipe(ready) != 0) return;
  fcntl(ready[0], F_SETFD, FD_CLOEXEC);
  const std::string screen =
      std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(depth);
  const std::string fd = std::to_string(ready[1]);
  std::vector<const char*> argv = {"Xvfb",         "-displayfd", fd.c_str(), "-screen",  "0",
                                   screen.c_str(), "-nolisten",  "tcp",      "-noreset", nullptr};
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    // The server ends with the test, even when the test crashes, and keeps
    // none of the test's output pipes open.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(127);
    const int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
      dup2(null, STDIN_FILENO);
      dup2(null, STDOUT_FILENO);
      dup2(null, STDERR_FILENO);
    }
    execvp(argv[0], const_cast<char* const*>(argv.data()));
    _exit(127);
  }
  close(ready[1]);
  if (pid < 0) {
    close(ready[0]);
    return;
  }
  pid_ = pid;
  // Xvfb writes its display number to the pipe once it accepts clients.
  std::string number;
  pollfd wait{ready[0], POLLIN, 0};
  while (poll(&wait, 1, 15000) > 0) {
    char c;
    if (read(ready[0], &c, 1) != 1 || c == '\n') break;
    number.push_back(c);
  }
  close(ready[0]);
  if (number.empty()) return;
  display_ = ":" + number;
  setenv("DISPLAY", display_.c_str(), 1);
}

PrivateXServer::~PrivateXServer() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  if (hadDisplay_) {
    setenv("DISPLAY", oldDisplay_.c_str(), 1);
  } else {
    unsetenv("DISPLAY");
  }
}

}  // namespace qa::test
