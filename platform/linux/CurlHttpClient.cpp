#include <curl/curl.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <system_error>

#include "platform/Machine.h"

namespace platform {
namespace {

struct EasyCleanup {
  void operator()(CURL* easy) const { ::curl_easy_cleanup(easy); }
};

struct HeaderListFree {
  void operator()(curl_slist* list) const { ::curl_slist_free_all(list); }
};

// The library's own start-up, once per process and before any two threads could race to it.
CURLcode StartLibrary() {
  static std::once_flag once;
  static CURLcode started = CURLE_FAILED_INIT;
  std::call_once(once, [] { started = ::curl_global_init(CURL_GLOBAL_DEFAULT); });
  return started;
}

// A status's body is of no use here; it is read and dropped so that the connection ends cleanly.
std::size_t Discard(char*, std::size_t size, std::size_t count, void*) {
  return size * count;
}

// The library's text for the failure and the system's for its cause, when there is one. Never the
// library's error buffer: it names the host and the port.
std::string Reason(CURLcode code, CURL* easy) {
  std::string text = ::curl_easy_strerror(code);
  long systemError = 0;
  if (::curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &systemError) == CURLE_OK && systemError != 0)
    text += ": " + std::generic_category().message(static_cast<int>(systemError));
  return text;
}

// http and https through libcurl, in this process: no program is looked up or started (a "curl" in the
// current folder never runs), no user's curl settings apply, and a redirection is a reply, not followed.
// Each call has an easy handle of its own, so calls from several threads do not meet. The threaded
// resolver (Debian's libcurl has it) makes the deadline hold for the name lookup too, without the
// SIGALRM that CURLOPT_NOSIGNAL rules out.
class CurlHttpClient final : public HttpClient {
 public:
  HttpReply Get(const std::string& url, std::chrono::milliseconds deadline) override {
    return Call(url, nullptr, deadline);
  }

  HttpReply Post(const std::string& url, std::string_view body, std::chrono::milliseconds deadline) override {
    return Call(url, &body, deadline);
  }

 private:
  static HttpReply Call(const std::string& url, const std::string_view* body,
                        std::chrono::milliseconds deadline) {
    if (const CURLcode started = StartLibrary(); started != CURLE_OK)
      return {0, ::curl_easy_strerror(started)};
    const std::unique_ptr<CURL, EasyCleanup> easy(::curl_easy_init());
    if (!easy) return {0, ::curl_easy_strerror(CURLE_FAILED_INIT)};
    CURL* const handle = easy.get();
    // Zero would mean no limit at all.
    const long milliseconds =
        static_cast<long>(std::max<std::chrono::milliseconds::rep>(deadline.count(), 1));
    CURLcode code = CURLE_OK;
    const auto set = [&code](CURLcode result) {
      if (code == CURLE_OK) code = result;
    };
    set(::curl_easy_setopt(handle, CURLOPT_URL, url.c_str()));
    set(::curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https"));
    set(::curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L));
    set(::curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L));
    set(::curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, milliseconds));
    set(::curl_easy_setopt(handle, CURLOPT_NETRC, static_cast<long>(CURL_NETRC_IGNORED)));
    set(::curl_easy_setopt(handle, CURLOPT_USERAGENT, "kelmora-backup"));
    set(::curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &Discard));
    std::unique_ptr<curl_slist, HeaderListFree> headers;
    if (body != nullptr) {
      curl_slist* list = nullptr;
      for (const char* header : {"Content-Type: text/plain; charset=utf-8",
                                 // A server that never says "100 Continue" would cost a second of waiting.
                                 "Expect:"}) {
        curl_slist* longer = ::curl_slist_append(list, header);
        if (longer == nullptr) {
          ::curl_slist_free_all(list);
          return {0, ::curl_easy_strerror(CURLE_OUT_OF_MEMORY)};
        }
        list = longer;
      }
      headers.reset(list);
      set(::curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get()));
      set(::curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body->size())));
      set(::curl_easy_setopt(handle, CURLOPT_COPYPOSTFIELDS, body->empty() ? "" : body->data()));
    } else {
      set(::curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L));
    }
    if (code != CURLE_OK) return {0, ::curl_easy_strerror(code)};

    code = ::curl_easy_perform(handle);
    if (code != CURLE_OK) return {0, Reason(code, handle)};
    long status = 0;
    ::curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    return {static_cast<int>(status), {}};
  }
};

}  // namespace

std::unique_ptr<HttpClient> MachineHttpClient() {
  return std::make_unique<CurlHttpClient>();
}

}  // namespace platform
