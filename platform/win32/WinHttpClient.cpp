#include <windows.h>
// After windows.h, which it needs.
#include <winhttp.h>

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "Wide.h"
#include "platform/Machine.h"

namespace platform {
namespace {

using win32::ToWide;

struct InternetHandleClose {
  void operator()(void* handle) const { WinHttpCloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<void, InternetHandleClose>;

// WinHTTP's own error numbers have no text in the system's table. Those a monitor's call meets give the
// words the Linux client gives for the same failure, so that a log line reads the same on every machine;
// the rest give their number. Never the address: it may hold a secret.
std::string Reason(DWORD error) {
  switch (error) {
    case ERROR_WINHTTP_TIMEOUT:
      return "the deadline passed";
    case ERROR_WINHTTP_CANNOT_CONNECT:
      return "Couldn't connect to server";
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
      return "Couldn't resolve host name";
    case ERROR_WINHTTP_CONNECTION_ERROR:
      return "Failure when receiving data from the peer";
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
      return "Weird server reply";
    case ERROR_WINHTTP_SECURE_FAILURE:
      return "SSL connect error";
    default:
      break;
  }
  if (error >= WINHTTP_ERROR_BASE && error <= WINHTTP_ERROR_LAST)
    return "WinHTTP error " + std::to_string(error);
  return win32::ErrorText(error);
}

// One request, on a thread of its own so that the deadline holds for all of it (the name lookup
// included): when it passes, the request's handle is closed, which ends whatever call is waiting.
class Request {
 public:
  Request(const std::string& url, const std::string_view* body, std::chrono::milliseconds deadline)
      : url_(ToWide(url)),
        hasBody_(body != nullptr),
        body_(body != nullptr ? *body : std::string_view()),
        deadline_(deadline) {}

  HttpReply Run() {
    std::thread worker([this] { Perform(); });
    {
      std::unique_lock lock(mutex_);
      if (!done_.wait_for(lock, deadline_, [this] { return finished_; })) {
        timedOut_ = true;
        // Closing the handles ends the waiting call at once; the worker then finds them gone.
        request_.reset();
        connection_.reset();
      }
    }
    worker.join();
    if (timedOut_) return {0, Reason(ERROR_WINHTTP_TIMEOUT)};
    return reply_;
  }

 private:
  void Finish(HttpReply reply) {
    const std::lock_guard lock(mutex_);
    reply_ = std::move(reply);
    finished_ = true;
    done_.notify_all();
  }

  void Perform() {
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(url_.c_str(), 0, 0, &parts) ||
        (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS))
      return Finish({0, "not an http or https address"});
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring target(parts.lpszUrlPath, parts.dwUrlPathLength);
    target.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (target.empty()) target = L"/";

    const int limit =
        static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(deadline_.count(), 1, INT_MAX));
    InternetHandle session(WinHttpOpen(L"kelmora-backup", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                       WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) return Finish({0, Reason(GetLastError())});
    WinHttpSetTimeouts(session.get(), limit, limit, limit, limit);
    {
      const std::lock_guard lock(mutex_);
      if (timedOut_) return;
      connection_.reset(WinHttpConnect(session.get(), host.c_str(), parts.nPort, 0));
      if (!connection_) return Finish({0, Reason(GetLastError())});
      request_.reset(WinHttpOpenRequest(connection_.get(), hasBody_ ? L"POST" : L"GET", target.c_str(),
                                        nullptr, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                        parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0));
      if (!request_) return Finish({0, Reason(GetLastError())});
    }
    HINTERNET request = request_.get();
    // A redirection is a reply like any other, never followed; no credentials of the user go out.
    DWORD disabled = WINHTTP_DISABLE_REDIRECTS;
    WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &disabled, sizeof disabled);
    DWORD logon = WINHTTP_AUTOLOGON_SECURITY_LEVEL_HIGH;
    WinHttpSetOption(request, WINHTTP_OPTION_AUTOLOGON_POLICY, &logon, sizeof logon);

    const wchar_t* headers =
        hasBody_ ? L"Content-Type: text/plain; charset=utf-8" : WINHTTP_NO_ADDITIONAL_HEADERS;
    void* data = hasBody_ ? const_cast<char*>(body_.data()) : WINHTTP_NO_REQUEST_DATA;
    const DWORD length = static_cast<DWORD>(body_.size());
    if (!WinHttpSendRequest(request, headers, hasBody_ ? static_cast<DWORD>(-1L) : 0, data, length, length,
                            0) ||
        !WinHttpReceiveResponse(request, nullptr))
      return Finish({0, Reason(GetLastError())});
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
      return Finish({0, Reason(GetLastError())});
    // The body is of no use here; it is read and dropped so that the connection ends cleanly.
    char buffer[4096];
    DWORD read = 0;
    while (WinHttpReadData(request, buffer, sizeof buffer, &read) && read > 0) {
    }
    Finish({static_cast<int>(status), {}});
  }

  const std::wstring url_;
  const bool hasBody_;
  const std::string body_;
  const std::chrono::milliseconds deadline_;
  std::mutex mutex_;
  std::condition_variable done_;
  bool finished_ = false;
  bool timedOut_ = false;
  HttpReply reply_;
  InternetHandle connection_;
  InternetHandle request_;
};

// http and https through WinHTTP, the system's own client: no program is started and no proxy script
// runs; the system's proxy setting applies as for any service.
class WinHttpClient final : public HttpClient {
 public:
  HttpReply Get(const std::string& url, std::chrono::milliseconds deadline) override {
    return Request(url, nullptr, deadline).Run();
  }
  HttpReply Post(const std::string& url, std::string_view body, std::chrono::milliseconds deadline) override {
    return Request(url, &body, deadline).Run();
  }
};

}  // namespace

std::unique_ptr<HttpClient> MachineHttpClient() {
  return std::make_unique<WinHttpClient>();
}

}  // namespace platform
