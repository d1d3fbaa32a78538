#include "bench/LogWatcher.h"

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <stdexcept>

namespace bench {

LogWatcher::LogWatcher(const std::filesystem::path& folder, const std::string& fileName)
    : LogWatcher(folder, fileName, false) {}

LogWatcher::LogWatcher(const std::filesystem::path& folder, AnyEndingWith files)
    : LogWatcher(folder, files.nameEnding, true) {}

LogWatcher::LogWatcher(const std::filesystem::path& folder, const std::string& name, bool nameIsEnding)
    : fd_(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK)), fileName_(name), nameIsEnding_(nameIsEnding) {
  if (fd_ < 0) throw std::runtime_error("inotify_init1 failed");
  if (::inotify_add_watch(fd_, folder.c_str(), IN_CREATE | IN_OPEN | IN_CLOSE_WRITE | IN_MOVED_TO) < 0) {
    ::close(fd_);
    throw std::runtime_error("cannot watch " + folder.string());
  }
}

LogWatcher::~LogWatcher() {
  ::close(fd_);
}

void LogWatcher::Drain() {
  while (ReadEvents()) {
  }
  pending_.clear();
}

std::optional<Clock::time_point> LogWatcher::WaitForOpen(std::chrono::milliseconds timeout) {
  return WaitFor(IN_CREATE | IN_OPEN, timeout);
}

std::optional<Clock::time_point> LogWatcher::WaitForWrittenAndClosed(std::chrono::milliseconds timeout) {
  return WaitFor(IN_CLOSE_WRITE, timeout);
}

std::optional<Clock::time_point> LogWatcher::WaitForRenamedTo(std::chrono::milliseconds timeout) {
  return WaitFor(IN_MOVED_TO, timeout);
}

bool LogWatcher::ReadEvents() {
  alignas(inotify_event) char buffer[4096];
  const ssize_t size = ::read(fd_, buffer, sizeof buffer);
  const auto arrived = Clock::now();
  for (ssize_t at = 0; at < size;) {
    const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
    at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    if (event->len > 0 && Matches(event->name)) pending_.push_back({event->mask, arrived});
  }
  return size > 0;
}

bool LogWatcher::Matches(std::string_view name) const {
  return nameIsEnding_ ? name.ends_with(fileName_) : name == fileName_;
}

std::optional<Clock::time_point> LogWatcher::WaitFor(std::uint32_t mask, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    ReadEvents();
    while (!pending_.empty()) {
      const Event event = pending_.front();
      pending_.pop_front();
      if ((event.mask & mask) != 0) return event.arrived;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return std::nullopt;
    pollfd descriptor{fd_, POLLIN, 0};
    ::poll(&descriptor, 1, static_cast<int>(left.count()));
  }
}

}  // namespace bench
