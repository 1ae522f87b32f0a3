#pragma once
// Runs a program (here: lrzsz's sb or rb) with its standard input and output on the slave
// side of a pseudo-terminal, the way it would run on a serial line, in a folder of our
// choice. Used by the interoperability tests and the benchmarks.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace ql::link::testsupport {

// The full path of `program` in PATH, or nothing.
inline std::optional<std::filesystem::path> FindProgram(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    if (dir.empty()) continue;
    const std::filesystem::path candidate = std::filesystem::path(dir) / program;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return std::nullopt;
}

// Puts the terminal behind `fd` into raw mode: no echo, no line editing, every byte as is.
inline void MakeRaw(int fd) {
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) throw std::runtime_error("not a terminal");
  ::cfmakeraw(&tio);
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  if (::tcsetattr(fd, TCSANOW, &tio) != 0) throw std::runtime_error("tcsetattr failed");
}

class PtyProcess {
 public:
  // Starts `program` with `args`, standard input and output on the terminal `slavePath`,
  // standard error into `errorLog`, working folder `folder`. The terminal is made raw
  // first (so nothing is echoed before the program sets its own mode) and held open by us,
  // so that the pseudo-terminal stays readable after the program exits.
  PtyProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
             const std::string& slavePath, const std::filesystem::path& folder,
             const std::filesystem::path& errorLog) {
    slave_ = ::open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) throw std::runtime_error("cannot open " + slavePath);
    MakeRaw(slave_);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, slavePath.c_str(), O_RDWR | O_NOCTTY, 0);
    posix_spawn_file_actions_adddup2(&actions, 0, 1);
    posix_spawn_file_actions_addopen(&actions, 2, errorLog.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    std::vector<std::string> argv{program.filename().string()};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargs;
    for (std::string& a : argv) cargs.push_back(a.data());
    cargs.push_back(nullptr);
    const int rc = ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, cargs.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
      ::close(slave_);
      throw std::runtime_error("cannot start " + program.string());
    }
  }
  ~PtyProcess() {
    if (pid_ > 0 && !exitCode_) {
      ::kill(pid_, SIGTERM);
      if (!Wait(std::chrono::seconds(2))) {
        ::kill(pid_, SIGKILL);
        Wait(std::chrono::seconds(5));
      }
    }
    if (slave_ >= 0) ::close(slave_);
  }
  PtyProcess(const PtyProcess&) = delete;
  PtyProcess& operator=(const PtyProcess&) = delete;

  // Waits up to `limit` for the program to end; returns its exit code (128 + signal when
  // killed), or nothing while it still runs.
  std::optional<int> Wait(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!exitCode_) {
      int status = 0;
      const pid_t r = ::waitpid(pid_, &status, WNOHANG);
      if (r == pid_) {
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        break;
      }
      if (std::chrono::steady_clock::now() >= end) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return exitCode_;
  }

 private:
  pid_t pid_ = -1;
  int slave_ = -1;
  std::optional<int> exitCode_;
};

}  // namespace ql::link::testsupport
