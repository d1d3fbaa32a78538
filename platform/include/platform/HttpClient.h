#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace platform {

// What came of one request: the reply's status, or why there was none.
struct HttpReply {
  // The reply's status code (a redirection is a reply like any other: it is not followed); 0 without one.
  int status = 0;
  // Why no reply came, empty when one did. It never holds any part of the address, which may hold a
  // secret (a monitor's key).
  std::string error;
};

// Requests to web addresses, http:// and https:// only. Each call ends by its deadline, counted from its
// start, whatever the other side or the name lookup does. Calls may come from any thread, several at once.
class HttpClient {
 public:
  virtual ~HttpClient() = default;
  virtual HttpReply Get(const std::string& url, std::chrono::milliseconds deadline) = 0;
  // The body goes as plain UTF-8 text.
  virtual HttpReply Post(const std::string& url, std::string_view body,
                         std::chrono::milliseconds deadline) = 0;
};

}  // namespace platform
