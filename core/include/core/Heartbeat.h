#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/HttpClient.h"

namespace core {

// A monitor's address as the heartbeat reads it: "http://" or "https://", a host (a name, an IPv4
// address or an IPv6 address in brackets), an optional port, then the path and query.
struct MonitorAddress {
  bool secure = false;     // https
  std::string host;        // an IPv6 address without its brackets
  std::uint16_t port = 0;  // 80 or 443 when the address names none
  std::string authority;   // host and port as the address writes them, for the Host header
  std::string target;      // path and query ("/" when the address has none), without a fragment
};

// nullopt for anything else, user names and passwords in the address included.
std::optional<MonitorAddress> ParseMonitorAddress(std::string_view url);

// How long a call to a monitor may take at most, name lookup included: a monitor that does not answer,
// or answers a byte at a time, holds a job back by seconds, not hours.
inline constexpr std::chrono::milliseconds kMonitorDeadline{15000};

// Tells a monitor that a job succeeded: a GET of the address, which counts when the reply's status is
// 2xx. Redirections are not followed: the monitor's final address belongs in the settings. Empty when
// the call counted; otherwise why not, in UTF-8, without any part of the address, which may hold a
// secret.
std::string CallMonitor(const std::string& url, platform::HttpClient& http,
                        std::chrono::milliseconds deadline = kMonitorDeadline);

// The convention that dead-man's-switch services (Healthchecks and the like) document, for a monitor
// that should hear of the job's start and of its failures too (MonitorDetalhado): the address itself is
// the success, "/start" the start, "/fail" a failure, "/<exit code>" a program's outcome by its code.
// The signal goes after the address's path, before its query and fragment; an empty one leaves the
// address as it is.
std::string MonitorSignalUrl(const std::string& url, std::string_view signal);

// What such a monitor keeps beside a signal: the job's log block in UTF-8, at most kMonitorBodyLimit
// bytes. A longer block keeps its end, which tells how the job ended, from the start of a line on.
inline constexpr std::size_t kMonitorBodyLimit = 10000;
std::string MonitorBody(std::string_view cp1252Block);

// Sends a signal of the convention: a GET without a body, a POST with one; it counts as CallMonitor's
// call does, and says why not as CallMonitor does.
std::string SignalMonitor(const std::string& url, std::string_view signal, std::string_view body,
                          platform::HttpClient& http, std::chrono::milliseconds deadline = kMonitorDeadline);

}  // namespace core
