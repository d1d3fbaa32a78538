#pragma once

#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

// A dead-man's-switch monitor on 127.0.0.1 for heartbeat tests: answers every request with one status
// line and records each request. A request is recorded before it is answered, so once a caller has its
// answer the count is final.
class LoopbackMonitor {
 public:
  explicit LoopbackMonitor(std::string statusLine);
  ~LoopbackMonitor();
  LoopbackMonitor(const LoopbackMonitor&) = delete;
  LoopbackMonitor& operator=(const LoopbackMonitor&) = delete;

  // "http://127.0.0.1:PORT" followed by the target.
  std::string Url(const std::string& target) const;
  // Every request so far, request line and headers.
  std::vector<std::string> Requests() const;

 private:
  void Serve();

  std::string statusLine_;
  int listener_ = -1;
  int port_ = 0;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
};

}  // namespace testsupport
