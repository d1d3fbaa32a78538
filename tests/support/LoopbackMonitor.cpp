#include "tests/support/LoopbackMonitor.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace testsupport {

LoopbackMonitor::LoopbackMonitor(std::string statusLine) : statusLine_(std::move(statusLine)) {
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

void LoopbackMonitor::Serve() {
  for (;;) {
    const int connection = accept(listener_, nullptr, nullptr);
    if (connection < 0) return;
    std::string request;
    char buffer[1024];
    ssize_t n;
    while (request.find("\r\n\r\n") == std::string::npos && (n = read(connection, buffer, sizeof buffer)) > 0)
      request.append(buffer, static_cast<std::size_t>(n));
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(request);
    }
    const std::string reply = statusLine_ + "\r\nContent-Length: 2\r\nConnection: close\r\n\r\nOK";
    (void)!write(connection, reply.data(), reply.size());
    close(connection);
  }
}

}  // namespace testsupport
