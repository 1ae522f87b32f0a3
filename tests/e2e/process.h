#pragma once
// Runs the project's programs as a user would: a child process with captured output.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace ql::testsupport {

struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

namespace detail {
inline std::vector<char*> Argv(std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  return argv;
}
}  // namespace detail

// Runs a program to its end (at most `limit`, then it is killed) and captures its output.
// `during`, when given, runs on its own thread with the program's pid while it runs; the
// program is not reaped before `during` returns, so the pid stays its own.
inline RunResult RunProgram(std::vector<std::string> args,
                            std::chrono::milliseconds limit = std::chrono::seconds(60),
                            const std::function<void(pid_t)>& during = nullptr) {
  int outPipe[2];
  int errPipe[2];
  if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  pid_t pid = 0;
  auto argv = detail::Argv(args);
  const int rc = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  RunResult result;
  if (rc != 0) {
    ::close(outPipe[0]);
    ::close(errPipe[0]);
    throw std::runtime_error("cannot start " + args[0]);
  }
  std::thread beside;
  if (during) beside = std::thread([&during, pid] { during(pid); });
  const auto end = std::chrono::steady_clock::now() + limit;
  pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  int open = 2;
  while (open > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      ::kill(pid, SIGKILL);
      break;
    }
    if (::poll(fds, 2, static_cast<int>(left.count())) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
      char buf[4096];
      const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
      if (n <= 0) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      } else {
        (i == 0 ? result.out : result.err).append(buf, static_cast<std::size_t>(n));
      }
    }
  }
  for (auto& f : fds) {
    if (f.fd >= 0) ::close(f.fd);
  }
  if (beside.joinable()) beside.join();
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

// A program left running in the background (the station emulator); ended with SIGTERM.
class Background {
 public:
  explicit Background(std::vector<std::string> args) {
    int outPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    auto argv = detail::Argv(args);
    const int rc = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(outPipe[1]);
    if (rc != 0) throw std::runtime_error("cannot start " + args[0]);
    out_ = outPipe[0];
  }
  ~Background() { Stop(); }
  Background(const Background&) = delete;
  Background& operator=(const Background&) = delete;

  // The first line the program prints (waits up to `limit`).
  std::string FirstLine(std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    std::string line;
    const auto end = std::chrono::steady_clock::now() + limit;
    while (line.find('\n') == std::string::npos) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          end - std::chrono::steady_clock::now());
      pollfd pfd{out_, POLLIN, 0};
      if (left.count() <= 0 || ::poll(&pfd, 1, static_cast<int>(left.count())) <= 0) break;
      char c[256];
      const ssize_t n = ::read(out_, c, sizeof c);
      if (n <= 0) break;
      line.append(c, static_cast<std::size_t>(n));
    }
    return line.substr(0, line.find('\n'));
  }

  // Sends SIGTERM and returns the exit code.
  int Stop() {
    if (pid_ <= 0) return exitCode_;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    ::close(out_);
    exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return exitCode_;
  }
  pid_t Pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  int exitCode_ = -1;
};

}  // namespace ql::testsupport
