#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

// A dead-man's-switch monitor on 127.0.0.1 for heartbeat tests: answers every request with one status
// line (and whatever header lines the test puts after it) and records each request. A request is recorded
// before it is answered, so once a caller has its answer the count is final.
class LoopbackMonitor {
 public:
  // With a pause, the reply goes a byte at a time, the pause before each: a monitor that keeps a
  // connection alive without ever finishing its answer.
  explicit LoopbackMonitor(std::string statusLine, std::chrono::milliseconds trickle = {});
  ~LoopbackMonitor();
  LoopbackMonitor(const LoopbackMonitor&) = delete;
  LoopbackMonitor& operator=(const LoopbackMonitor&) = delete;

  // "http://127.0.0.1:PORT" followed by the target.
  std::string Url(const std::string& target) const;
  int Port() const { return port_; }
  // Every request so far: request line, headers and the body its Content-Length announced.
  std::vector<std::string> Requests() const;

 private:
  void Serve();
  void Reply(int connection, const std::string& reply);

  std::string statusLine_;
  std::chrono::milliseconds trickle_;
  int listener_ = -1;
  int port_ = 0;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::condition_variable stopping_;
  bool stop_ = false;
  std::vector<std::string> requests_;
};

// A free TCP port on 127.0.0.1 at the time of the call. Linux: FirebirdServer.cpp; Windows:
// LoopbackMonitorWin32.cpp.
int FreeLoopbackPort();

}  // namespace testsupport
