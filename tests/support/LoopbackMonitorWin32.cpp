// LoopbackMonitor for the Windows build, on Winsock: the same monitor for the heartbeat's WinHTTP calls.

#include <winsock2.h>

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "tests/support/LoopbackMonitor.h"

namespace testsupport {
namespace {

// Winsock is started once for the test program and stays until it ends.
void StartWinsock() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!started) throw std::runtime_error("Winsock did not start");
}

SOCKET SocketOf(int handle) {
  return static_cast<SOCKET>(handle);
}

// The body length a request's headers announce; 0 without one.
std::size_t ContentLength(std::string headers) {
  std::transform(headers.begin(), headers.end(), headers.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  const std::size_t at = headers.find("\r\ncontent-length:");
  return at == std::string::npos ? 0 : std::stoul(headers.substr(at + 17));
}

}  // namespace

LoopbackMonitor::LoopbackMonitor(std::string statusLine, std::chrono::milliseconds trickle)
    : statusLine_(std::move(statusLine)), trickle_(trickle) {
  StartWinsock();
  const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  // A kernel handle's value: small, so it fits the header's int.
  listener_ = static_cast<int>(listener);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  if (listener == INVALID_SOCKET ||
      bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener, 8) != 0 ||
      getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    closesocket(listener);
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
  stopping_.notify_all();  // ends a trickle
  // Winsock's shutdown leaves a listening socket's accept waiting; closing the socket ends it.
  closesocket(SocketOf(listener_));
  thread_.join();
}

int FreeLoopbackPort() {
  StartWinsock();
  const SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  const bool found = probe != INVALID_SOCKET &&
                     bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                     getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0;
  closesocket(probe);
  if (!found) throw std::runtime_error("cannot find a free loopback port");
  return ntohs(address.sin_port);
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
    const SOCKET connection = accept(SocketOf(listener_), nullptr, nullptr);
    if (connection == INVALID_SOCKET) return;
    std::string request;
    char buffer[1024];
    int n;
    while (request.find("\r\n\r\n") == std::string::npos &&
           (n = recv(connection, buffer, sizeof buffer, 0)) > 0)
      request.append(buffer, static_cast<std::size_t>(n));
    const std::size_t headersEnd = request.find("\r\n\r\n");
    if (headersEnd != std::string::npos) {
      const std::size_t wanted = headersEnd + 4 + ContentLength(request.substr(0, headersEnd));
      while (request.size() < wanted && (n = recv(connection, buffer, sizeof buffer, 0)) > 0)
        request.append(buffer, static_cast<std::size_t>(n));
    }
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(request);
    }
    Reply(static_cast<int>(connection), statusLine_ + "\r\nContent-Length: 2\r\nConnection: close\r\n\r\nOK");
    closesocket(connection);
  }
}

void LoopbackMonitor::Reply(int connection, const std::string& reply) {
  if (trickle_.count() == 0) {
    send(SocketOf(connection), reply.data(), static_cast<int>(reply.size()), 0);
    return;
  }
  for (const char byte : reply) {
    std::unique_lock lock(mutex_);
    if (stopping_.wait_for(lock, trickle_, [this] { return stop_; })) return;
    lock.unlock();
    if (send(SocketOf(connection), &byte, 1, 0) != 1) return;  // the caller gave up
  }
}

}  // namespace testsupport
