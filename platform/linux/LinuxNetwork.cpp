#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>

#include <cerrno>
#include <memory>
#include <stdexcept>
#include <system_error>

#include "FileDescriptor.h"
#include "platform/LinuxSystem.h"

namespace platform {
namespace {

using linux_system::FileDescriptor;

[[noreturn]] void ThrowSystemError(int error, const char* what) {
  throw std::system_error(error, std::generic_category(), what);
}

// Waits until the socket is ready for the events; false when the time ran out.
bool WaitFor(int fd, short events, std::chrono::milliseconds timeout) {
  pollfd watched{fd, events, 0};
  for (;;) {
    const int ready = ::poll(&watched, 1, static_cast<int>(timeout.count()));
    if (ready > 0) return true;
    if (ready == 0) return false;
    if (errno != EINTR) ThrowSystemError(errno, "poll");
  }
}

class LinuxTcpConnection : public TcpConnection {
 public:
  LinuxTcpConnection(FileDescriptor socket, std::chrono::milliseconds timeout)
      : socket_(std::move(socket)), timeout_(timeout) {}

  void Send(std::string_view bytes) override {
    while (!bytes.empty()) {
      if (!WaitFor(socket_.Get(), POLLOUT, timeout_)) ThrowSystemError(ETIMEDOUT, "send");
      const ssize_t sent = ::send(socket_.Get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (sent < 0) {
        if (errno == EINTR || errno == EAGAIN) continue;
        ThrowSystemError(errno, "send");
      }
      bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
  }

  std::string Receive(std::size_t maxBytes) override {
    std::string bytes(maxBytes, '\0');
    for (;;) {
      if (!WaitFor(socket_.Get(), POLLIN, timeout_)) ThrowSystemError(ETIMEDOUT, "recv");
      const ssize_t received = ::recv(socket_.Get(), bytes.data(), bytes.size(), 0);
      if (received >= 0) {
        bytes.resize(static_cast<std::size_t>(received));
        return bytes;
      }
      if (errno != EINTR && errno != EAGAIN) ThrowSystemError(errno, "recv");
    }
  }

 private:
  FileDescriptor socket_;
  std::chrono::milliseconds timeout_;
};

// One address: a non-blocking connect, so that an address that never answers costs only the timeout.
FileDescriptor ConnectTo(const addrinfo& address, std::chrono::milliseconds timeout) {
  FileDescriptor socket(
      ::socket(address.ai_family, address.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, address.ai_protocol));
  if (!socket.Valid()) ThrowSystemError(errno, "socket");
  if (::connect(socket.Get(), address.ai_addr, address.ai_addrlen) != 0) {
    if (errno != EINPROGRESS) ThrowSystemError(errno, "connect");
    if (!WaitFor(socket.Get(), POLLOUT, timeout)) ThrowSystemError(ETIMEDOUT, "connect");
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(socket.Get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
    if (error != 0) ThrowSystemError(error, "connect");
  }
  return socket;
}

struct AddressListFree {
  void operator()(addrinfo* list) const { ::freeaddrinfo(list); }
};

}  // namespace

std::unique_ptr<TcpConnection> LinuxSystem::ConnectTcp(const std::string& host, std::uint16_t port,
                                                       std::chrono::milliseconds timeout) {
  addrinfo wanted{};
  wanted.ai_family = AF_UNSPEC;
  wanted.ai_socktype = SOCK_STREAM;
  wanted.ai_flags = AI_ADDRCONFIG | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const int lookup = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &wanted, &found);
  if (lookup != 0) throw std::runtime_error(std::string("name lookup: ") + ::gai_strerror(lookup));
  const std::unique_ptr<addrinfo, AddressListFree> addresses(found);
  std::system_error lastError(EHOSTUNREACH, std::generic_category(), "connect");
  for (const addrinfo* address = addresses.get(); address != nullptr; address = address->ai_next) {
    try {
      return std::make_unique<LinuxTcpConnection>(ConnectTo(*address, timeout), timeout);
    } catch (const std::system_error& error) {
      lastError = error;
    }
  }
  throw lastError;
}

}  // namespace platform
