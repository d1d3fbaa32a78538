#include <winsock2.h>
#include <ws2tcpip.h>
// After winsock2.h, which must come first.
#include <windows.h>

#include <cerrno>
#include <memory>
#include <stdexcept>
#include <system_error>

#include "platform/Win32System.h"

namespace platform {
namespace {

[[noreturn]] void ThrowSocketError(int error, const char* what) {
  throw std::system_error(error, std::system_category(), what);
}

[[noreturn]] void ThrowTimedOut(const char* what) {
  throw std::system_error(ETIMEDOUT, std::generic_category(), what);
}

// Winsock is started once for the process and left started: sockets may be open until it ends.
void StartWinsock() {
  static const int started = [] {
    WSADATA data{};
    return WSAStartup(MAKEWORD(2, 2), &data);
  }();
  if (started != 0) ThrowSocketError(started, "WSAStartup");
}

class Socket {
 public:
  explicit Socket(SOCKET socket) : socket_(socket) {}
  ~Socket() {
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  Socket(Socket&& other) noexcept : socket_(other.socket_) { other.socket_ = INVALID_SOCKET; }
  SOCKET Get() const { return socket_; }

 private:
  SOCKET socket_;
};

// Waits until the socket is ready for the events; false when the time ran out.
bool WaitFor(SOCKET socket, short events, std::chrono::milliseconds timeout) {
  WSAPOLLFD watched{socket, events, 0};
  const int ready = WSAPoll(&watched, 1, static_cast<INT>(timeout.count()));
  if (ready == SOCKET_ERROR) ThrowSocketError(WSAGetLastError(), "poll");
  return ready > 0;
}

class Win32TcpConnection : public TcpConnection {
 public:
  Win32TcpConnection(Socket socket, std::chrono::milliseconds timeout)
      : socket_(std::move(socket)), timeout_(timeout) {}

  void Send(std::string_view bytes) override {
    while (!bytes.empty()) {
      if (!WaitFor(socket_.Get(), POLLWRNORM, timeout_)) ThrowTimedOut("send");
      const int sent = send(socket_.Get(), bytes.data(), static_cast<int>(bytes.size()), 0);
      if (sent == SOCKET_ERROR) {
        if (WSAGetLastError() == WSAEWOULDBLOCK) continue;
        ThrowSocketError(WSAGetLastError(), "send");
      }
      bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
  }

  std::string Receive(std::size_t maxBytes) override {
    std::string bytes(maxBytes, '\0');
    for (;;) {
      if (!WaitFor(socket_.Get(), POLLRDNORM, timeout_)) ThrowTimedOut("recv");
      const int received = recv(socket_.Get(), bytes.data(), static_cast<int>(bytes.size()), 0);
      if (received != SOCKET_ERROR) {
        bytes.resize(static_cast<std::size_t>(received));
        return bytes;
      }
      if (WSAGetLastError() != WSAEWOULDBLOCK) ThrowSocketError(WSAGetLastError(), "recv");
    }
  }

 private:
  Socket socket_;
  std::chrono::milliseconds timeout_;
};

// One address: a non-blocking connect, so that an address that never answers costs only the timeout.
Socket ConnectTo(const addrinfo& address, std::chrono::milliseconds timeout) {
  Socket socket(::socket(address.ai_family, address.ai_socktype, address.ai_protocol));
  if (socket.Get() == INVALID_SOCKET) ThrowSocketError(WSAGetLastError(), "socket");
  u_long nonBlocking = 1;
  if (ioctlsocket(socket.Get(), FIONBIO, &nonBlocking) != 0)
    ThrowSocketError(WSAGetLastError(), "ioctlsocket");
  if (connect(socket.Get(), address.ai_addr, static_cast<int>(address.ai_addrlen)) != 0) {
    if (WSAGetLastError() != WSAEWOULDBLOCK) ThrowSocketError(WSAGetLastError(), "connect");
    if (!WaitFor(socket.Get(), POLLWRNORM, timeout)) ThrowTimedOut("connect");
    int error = 0;
    int length = sizeof error;
    if (getsockopt(socket.Get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0)
      error = WSAGetLastError();
    if (error != 0) ThrowSocketError(error, "connect");
  }
  return socket;
}

struct AddressListFree {
  void operator()(addrinfo* list) const { freeaddrinfo(list); }
};

}  // namespace

std::unique_ptr<TcpConnection> Win32System::ConnectTcp(const std::string& host, std::uint16_t port,
                                                       std::chrono::milliseconds timeout) {
  StartWinsock();
  addrinfo wanted{};
  wanted.ai_family = AF_UNSPEC;
  wanted.ai_socktype = SOCK_STREAM;
  wanted.ai_flags = AI_ADDRCONFIG | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const int lookup = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &wanted, &found);
  if (lookup != 0) throw std::runtime_error("name lookup: error " + std::to_string(lookup));
  const std::unique_ptr<addrinfo, AddressListFree> addresses(found);
  std::system_error lastError(WSAEHOSTUNREACH, std::system_category(), "connect");
  for (const addrinfo* address = addresses.get(); address != nullptr; address = address->ai_next) {
    try {
      return std::make_unique<Win32TcpConnection>(ConnectTo(*address, timeout), timeout);
    } catch (const std::system_error& error) {
      lastError = error;
    }
  }
  throw lastError;
}

}  // namespace platform
