#include "tests/support/LoopbackMonitor.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace testsupport {

LoopbackMonitor::LoopbackMonitor(std::string statusLine, std::chrono::milliseconds trickle)
    : statusLine_(std::move(statusLine)), trickle_(trickle) {
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener_, 8) != 0 ||
      getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close(listener_);
    throw std::runtime_error("cannot listen on the loopback address");
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

LoopbackMonitor::~LoopbackMonitor() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  stopping_.notify_all();          // ends a trickle
  shutdown(listener_, SHUT_RDWR);  // ends the accept
  thread_.join();
  close(listener_);
}

std::string LoopbackMonitor::Url(const std::string& target) const {
  return "http://127.0.0.1:" + std::to_string(port_) + target;
}

std::vector<std::string> LoopbackMonitor::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

namespace {

// The body length a request's headers announce; 0 without one.
std::size_t ContentLength(std::string headers) {
  std::transform(headers.begin(), headers.end(), headers.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  const std::size_t at = headers.find("\r\ncontent-length:");
  return at == std::string::npos ? 0 : std::stoul(headers.substr(at + 17));
}

}  // namespace

void LoopbackMonitor::Serve() {
  for (;;) {
    const int connection = accept(listener_, nullptr, nullptr);
    if (connection < 0) return;
    std::string request;
    char buffer[1024];
    ssize_t n;
    while (request.find("\r\n\r\n") == std::string::npos && (n = read(connection, buffer, sizeof buffer)) > 0)
      request.append(buffer, static_cast<std::size_t>(n));
    const std::size_t headersEnd = request.find("\r\n\r\n");
    if (headersEnd != std::string::npos) {
      const std::size_t wanted = headersEnd + 4 + ContentLength(request.substr(0, headersEnd));
      while (request.size() < wanted && (n = read(connection, buffer, sizeof buffer)) > 0)
        request.append(buffer, static_cast<std::size_t>(n));
    }
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(request);
    }
    Reply(connection, statusLine_ + "\r\nContent-Length: 2\r\nConnection: close\r\n\r\nOK");
    close(connection);
  }
}

void LoopbackMonitor::Reply(int connection, const std::string& reply) {
  if (trickle_.count() == 0) {
    (void)!send(connection, reply.data(), reply.size(), MSG_NOSIGNAL);
    return;
  }
  for (const char byte : reply) {
    std::unique_lock lock(mutex_);
    if (stopping_.wait_for(lock, trickle_, [this] { return stop_; })) return;
    lock.unlock();
    if (send(connection, &byte, 1, MSG_NOSIGNAL) != 1) return;  // the caller gave up
  }
}

}  // namespace testsupport
