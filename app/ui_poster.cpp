#include "app/ui_poster.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <cstdint>
#include <stdexcept>
#include <system_error>

namespace ql::app {

UiPoster::UiPoster(QObject* parent) : QObject(parent) {
  m_eventFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (m_eventFd < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
  m_notifier = new QSocketNotifier(static_cast<qintptr>(m_eventFd), QSocketNotifier::Read, this);
  connect(m_notifier, &QSocketNotifier::activated, this, [this] { RunPending(); });
}

UiPoster::~UiPoster() {
  delete m_notifier;
  ::close(m_eventFd);
}

void UiPoster::Post(std::function<void()> task) {
  {
    std::lock_guard lock(m_mutex);
    m_tasks.push_back(std::move(task));
  }
  const std::uint64_t one = 1;
  // A full counter (never in practice) still leaves the fd readable, so nothing is lost.
  [[maybe_unused]] const ssize_t written = ::write(m_eventFd, &one, sizeof one);
}

void UiPoster::RunPending() {
  std::uint64_t count = 0;
  [[maybe_unused]] const ssize_t got = ::read(m_eventFd, &count, sizeof count);
  std::deque<std::function<void()>> tasks;
  {
    std::lock_guard lock(m_mutex);
    tasks.swap(m_tasks);
  }
  // A task may open a modal box that runs a nested event loop and so this function again;
  // each task was taken out of the queue before it runs, so none runs twice.
  for (auto& task : tasks) task();
}

}  // namespace ql::app
