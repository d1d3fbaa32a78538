#include "core/Heartbeat.h"

#include <charconv>
#include <exception>

namespace core {
namespace {

// Short enough that a monitor that does not answer holds a job back by seconds, not minutes.
constexpr std::chrono::milliseconds kNetworkTimeout{5000};
constexpr const char* kCurlMaximumSeconds = "10";
// The status line is all that is read of the reply.
constexpr std::size_t kMaximumStatusLine = 4096;

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

// The reply counts when its status line reads "HTTP/1.x 2xx".
std::string JudgeStatusLine(std::string_view line) {
  if (!line.starts_with("HTTP/1.") || line.size() < 12 || line[8] != ' ') return "resposta que não é HTTP";
  const std::string_view status = line.substr(9, 3);
  if (status[0] == '2') return {};
  return "o monitor respondeu HTTP " + std::string(status);
}

std::string CallOverSocket(const MonitorAddress& address, platform::Network& network) {
  try {
    const std::unique_ptr<platform::TcpConnection> connection =
        network.ConnectTcp(address.host, address.port, kNetworkTimeout);
    connection->Send("GET " + address.target + " HTTP/1.1\r\nHost: " + address.authority +
                     "\r\nUser-Agent: kelmora-backup\r\nAccept: */*\r\nConnection: close\r\n\r\n");
    std::string reply;
    while (reply.find("\r\n") == std::string::npos && reply.size() < kMaximumStatusLine) {
      const std::string part = connection->Receive(kMaximumStatusLine - reply.size());
      if (part.empty()) break;
      reply += part;
    }
    if (reply.empty()) return "o monitor fechou a conexão sem responder";
    return JudgeStatusLine(std::string_view(reply).substr(0, reply.find("\r\n")));
  } catch (const std::exception& error) {
    return error.what();
  }
}

std::string CallThroughCurl(const std::string& url, platform::Launcher& launcher) {
  const std::string curl = launcher.ResolveProgram("curl");
  if (curl.empty()) return "endereços https precisam do programa curl, que não está instalado";
  // The address goes in curl's own settings on its standard input: on its command line every user of
  // the machine could read it.
  std::string quoted;
  for (const char c : url) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  const int exitCode = launcher.RunProgram(curl, {"-fsS", "-m", kCurlMaximumSeconds, "--config", "-"},
                                           "url = \"" + quoted + "\"\n");
  if (exitCode == 0) return {};
  if (exitCode < 0) return "o programa curl não pôde ser executado";
  return "curl terminou com o código " + std::to_string(exitCode);
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

std::string CallMonitor(const std::string& url, platform::Network& network, platform::Launcher& launcher) {
  const std::optional<MonitorAddress> address = ParseMonitorAddress(url);
  if (!address) return "o endereço não é um endereço http:// ou https:// válido";
  return address->secure ? CallThroughCurl(url, launcher) : CallOverSocket(*address, network);
}

}  // namespace core
