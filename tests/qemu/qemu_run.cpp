#include "qemu_run.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include <fcntl.h>

namespace qemucheck {

RunResult RunWithDeadline(const std::vector<std::string>& argv, double deadlineSeconds) {
  RunResult result;
  int pipeFds[2];
  if (pipe(pipeFds) != 0) {
    result.error = std::string("pipe: ") + std::strerror(errno);
    return result;
  }
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child < 0) {
    result.error = std::string("fork: ") + std::strerror(errno);
    return result;
  }
  if (child == 0) {
    dup2(pipeFds[1], STDOUT_FILENO);
    dup2(pipeFds[1], STDERR_FILENO);
    close(pipeFds[0]);
    close(pipeFds[1]);
    // Nothing for the guest to read: the serial console's input is empty.
    const int devNull = ::open("/dev/null", 0);
    if (devNull >= 0) dup2(devNull, STDIN_FILENO);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    const std::string message = "cannot start " + argv[0] + ": " + std::strerror(errno) + "\n";
    (void)!write(STDERR_FILENO, message.data(), message.size());
    _exit(127);
  }
  close(pipeFds[1]);

  auto elapsed = [&] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  char buffer[4096];
  for (;;) {
    const double left = deadlineSeconds - elapsed();
    if (left <= 0) {
      result.timedOut = true;
      kill(child, SIGKILL);
      break;
    }
    pollfd p{pipeFds[0], POLLIN, 0};
    const int ready = poll(&p, 1, static_cast<int>(left * 1000) + 1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) continue;
    const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // the emulator closed its output: it is exiting
    result.output.append(buffer, static_cast<size_t>(n));
  }
  close(pipeFds[0]);

  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  result.seconds = elapsed();
  if (!result.timedOut && WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  return result;
}

}  // namespace qemucheck
