#include "core/Heartbeat.h"

#include <charconv>

#include "platform/Cp1252.h"

namespace core {
namespace {

struct HostAndPort {
  std::string host;
  std::uint16_t port;
};

// The host and port of an address's authority part; nullopt without a host or with a port that is none.
std::optional<HostAndPort> SplitAuthority(std::string_view authority, std::uint16_t defaultPort) {
  std::string_view host = authority;
  std::string_view port;
  if (host.starts_with('[')) {
    const std::size_t close = host.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    port = host.substr(close + 1);
    host = host.substr(1, close - 1);
    if (!port.empty() && !port.starts_with(':')) return std::nullopt;
    if (!port.empty()) port.remove_prefix(1);
  } else if (const std::size_t colon = host.find(':'); colon != std::string_view::npos) {
    port = host.substr(colon + 1);
    host = host.substr(0, colon);
  }
  if (host.empty()) return std::nullopt;
  if (port.empty()) return HostAndPort{std::string(host), defaultPort};
  unsigned value = 0;
  const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
  if (error != std::errc() || end != port.data() + port.size() || value == 0 || value > 65535)
    return std::nullopt;
  return HostAndPort{std::string(host), static_cast<std::uint16_t>(value)};
}

}  // namespace

std::optional<MonitorAddress> ParseMonitorAddress(std::string_view url) {
  MonitorAddress address;
  if (url.starts_with("http://")) {
    url.remove_prefix(7);
  } else if (url.starts_with("https://")) {
    address.secure = true;
    url.remove_prefix(8);
  } else {
    return std::nullopt;
  }
  if (const std::size_t fragment = url.find('#'); fragment != std::string_view::npos)
    url = url.substr(0, fragment);
  const std::size_t pathStart = url.find_first_of("/?");
  const std::string_view authority = url.substr(0, pathStart);
  if (authority.find('@') != std::string_view::npos) return std::nullopt;
  for (const char c : url) {
    // Nothing that would end the request line or a header early.
    if (static_cast<unsigned char>(c) <= ' ' || c == 0x7F) return std::nullopt;
  }
  const std::optional<HostAndPort> hostAndPort = SplitAuthority(authority, address.secure ? 443 : 80);
  if (!hostAndPort) return std::nullopt;
  address.host = hostAndPort->host;
  address.port = hostAndPort->port;
  address.authority = std::string(authority);
  address.target = pathStart == std::string_view::npos ? "/" : std::string(url.substr(pathStart));
  if (address.target.starts_with('?')) address.target.insert(0, "/");
  return address;
}

namespace {

std::string Problem(const platform::HttpReply& reply) {
  if (!reply.error.empty()) return reply.error;
  if (reply.status / 100 == 2) return {};
  return "o monitor respondeu HTTP " + std::to_string(reply.status);
}

const char* const kNotAnAddress = "o endereço não é um endereço http:// ou https:// válido";

}  // namespace

std::string CallMonitor(const std::string& url, platform::HttpClient& http,
                        std::chrono::milliseconds deadline) {
  if (!ParseMonitorAddress(url)) return kNotAnAddress;
  return Problem(http.Get(url, deadline));
}

std::string MonitorSignalUrl(const std::string& url, std::string_view signal) {
  if (signal.empty()) return url;
  // The path ends where the query or the fragment begins, after the scheme's "//".
  const std::size_t authority = url.find("//");
  const std::size_t pathEnd = url.find_first_of("?#", authority == std::string::npos ? 0 : authority + 2);
  std::string head = url.substr(0, pathEnd);
  if (!head.ends_with('/')) head += '/';
  return head + std::string(signal) + (pathEnd == std::string::npos ? std::string() : url.substr(pathEnd));
}

std::string MonitorBody(std::string_view cp1252Block) {
  std::string body = cp1252::ToUtf8(cp1252Block);
  if (body.size() <= kMonitorBodyLimit) return body;
  std::size_t start = body.size() - kMonitorBodyLimit;
  if (const std::size_t line = body.find('\n', start); line != std::string::npos && line + 1 < body.size()) {
    start = line + 1;
  } else {
    // One line longer than the limit: cut it where a character begins.
    while (start < body.size() && (static_cast<unsigned char>(body[start]) & 0xC0) == 0x80)
      ++start;
  }
  return body.substr(start);
}

std::string SignalMonitor(const std::string& url, std::string_view signal, std::string_view body,
                          platform::HttpClient& http, std::chrono::milliseconds deadline) {
  if (!ParseMonitorAddress(url)) return kNotAnAddress;
  const std::string signalUrl = MonitorSignalUrl(url, signal);
  return Problem(body.empty() ? http.Get(signalUrl, deadline) : http.Post(signalUrl, body, deadline));
}

}  // namespace core
