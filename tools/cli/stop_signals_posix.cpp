#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <mutex>
#include <string>
#include <utility>

#include "tools/cli/stop_signals.h"

namespace ql::cli {
namespace {

// The signal pipe: [0] read by the watcher, [1] written by the handler. Set once, before
// any handler is installed, and never closed.
int gPipe[2] = {-1, -1};

bool OpenPipeOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return;
    // A full pipe already holds a stop: the handler must never block on it.
    ::fcntl(fds[1], F_SETFL, ::fcntl(fds[1], F_GETFL) | O_NONBLOCK);
    gPipe[0] = fds[0];
    gPipe[1] = fds[1];
  });
  return gPipe[0] >= 0;
}

constexpr std::array<int, 3> kSignals{SIGINT, SIGTERM, SIGHUP};
// The handlers that were there before, for the one StopSignals there may be.
std::array<struct sigaction, kSignals.size()> gPrevious{};

// Byte written by the destructor to end the watcher; no signal has the number 0.
constexpr unsigned char kEndWatcher = 0;

extern "C" void OnStopSignal(int signal) {
  const int savedErrno = errno;
  const auto byte = static_cast<unsigned char>(signal);
  [[maybe_unused]] const ssize_t n = ::write(gPipe[1], &byte, 1);
  errno = savedErrno;
}

}  // namespace

StopSignals::StopSignals(link::IUiPoster& loop, std::function<void(int signal)> onSignal) {
  if (!OpenPipeOnce()) return;
  watcher_ = std::thread([&loop, onSignal = std::move(onSignal)] {
    for (;;) {
      unsigned char byte = kEndWatcher;
      const ssize_t n = ::read(gPipe[0], &byte, 1);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0 || byte == kEndWatcher) return;
      loop.Post([onSignal, signal = static_cast<int>(byte)] { onSignal(signal); });
    }
  });
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  std::size_t installed = 0;
  for (; installed < kSignals.size(); ++installed) {
    if (::sigaction(kSignals[installed], &action, &gPrevious[installed]) != 0) break;
  }
  active_ = installed == kSignals.size();
  if (!active_) {
    for (std::size_t i = 0; i < installed; ++i) ::sigaction(kSignals[i], &gPrevious[i], nullptr);
  }
}

StopSignals::~StopSignals() {
  if (active_) {
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
      ::sigaction(kSignals[i], &gPrevious[i], nullptr);
    }
  }
  if (watcher_.joinable()) {
    // Behind any signal still in the pipe, so each one reaches the loop first.
    const unsigned char end = kEndWatcher;
    while (::write(gPipe[1], &end, 1) < 0 && (errno == EINTR || errno == EAGAIN)) {
      std::this_thread::yield();  // a full pipe: the watcher is emptying it
    }
    watcher_.join();
  }
}

std::string StopSignals::Name(int signal) {
  switch (signal) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
    default:
      return "signal " + std::to_string(signal);
  }
}

}  // namespace ql::cli
