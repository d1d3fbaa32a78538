#include "services/TIBControlAndQueryService.h"

#include <ibase.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include "fbclient/ClientErrors.h"
#include "fbclient/ClientLibrary.h"

namespace services {

namespace {

// Reply of one line: the item, the 2-byte length, the text, the end byte. A piece of a file has the same
// form under its own item, and so has a piece of input the program sends.
constexpr std::size_t kLineTextOffset = 3;
// The send items' length is a 16-bit count, which the item's own three bytes share with the input.
constexpr std::size_t kMaxInputPiece = 65535 - kLineTextOffset;

[[noreturn]] void Malformed() {
  fbclient::RaiseClientError(fbclient::kUnexpectedOutput);
}

// The length of the item whose 2-byte count starts at `at`: its bytes, and the byte after them, must lie
// inside the reply.
std::size_t ItemLength(const char* reply, std::size_t size, std::size_t at) {
  if (at + 2 > size) Malformed();
  // Unsigned: a piece of a file may pass 32767 bytes, where isc_vax_integer would turn negative.
  const std::size_t length = static_cast<unsigned char>(reply[at]) |
                             static_cast<std::size_t>(static_cast<unsigned char>(reply[at + 1])) << 8;
  if (at + 2 + length >= size) Malformed();
  return length;
}

}  // namespace

std::string TIBControlAndQueryService::ReadOutputLine() {
  if (endOfOutput_) return {};
  if (action_ == 0) fbclient::RaiseClientError(fbclient::kQueryParametersMissing);
  for (;;) {
    queryRequest_.assign(1, static_cast<char>(isc_info_svc_line));
    QueryService();

    char* reply = receiveBuffer_.data();
    const std::size_t size = receiveBuffer_.size();
    if (size < kLineTextOffset + 1 || reply[0] != isc_info_svc_line) {
      fbclient::RaiseClientError(fbclient::kUnexpectedOutput);
    }
    const ISC_LONG length = fbclient::Client().isc_vax_integer(reply + 1, 2);
    // The end byte must lie inside the buffer: a length beyond it is as malformed as a wrong end byte.
    if (length < 0 || kLineTextOffset + static_cast<std::size_t>(length) >= size) {
      fbclient::RaiseClientError(fbclient::kUnexpectedOutput);
    }
    std::size_t end = kLineTextOffset + static_cast<std::size_t>(length);
    // Behind the text the server may say that it answered before a whole line had come.
    const bool notReady = reply[end] == isc_info_data_not_ready || reply[end] == isc_info_svc_timeout;
    if (notReady) ++end;
    if (end >= size || reply[end] != isc_info_end) fbclient::RaiseClientError(fbclient::kUnexpectedOutput);
    // Consumed, so that a reply that leaves the buffer as it was cannot pass for this one again.
    reply[end] = '\0';
    if (length == 0) {
      // Nothing yet is not the end: the same question again.
      if (notReady) continue;
      endOfOutput_ = true;
      return {};
    }
    endOfOutput_ = false;
    const char* text = reply + kLineTextOffset;
    return std::string(text, strnlen(text, static_cast<std::size_t>(length)));
  }
}

std::string_view TIBControlAndQueryService::ReadOutputData() {
  if (endOfOutput_) return {};
  if (action_ == 0) fbclient::RaiseClientError(fbclient::kQueryParametersMissing);
  queryRequest_.assign(1, static_cast<char>(isc_info_svc_to_eof));
  QueryService();

  char* reply = receiveBuffer_.data();
  const std::size_t size = receiveBuffer_.size();
  if (size < kLineTextOffset + 1 || reply[0] != isc_info_svc_to_eof) Malformed();
  const std::size_t length = ItemLength(reply, size, 1);
  const std::size_t end = kLineTextOffset + length;
  // Truncated: the server holds more than fitted. Not ready: it had nothing yet.
  const char after = reply[end];
  if (after != isc_info_end && after != isc_info_truncated && after != isc_info_data_not_ready) Malformed();
  // Consumed, so that a reply that leaves the buffer as it was cannot pass for this piece again.
  reply[end] = '\0';
  if (length == 0 && after == isc_info_end) endOfOutput_ = true;
  return {reply + kLineTextOffset, length};
}

std::string TIBControlAndQueryService::WaitForOutput(std::uint32_t seconds) {
  if (endOfOutput_) return {};
  if (action_ == 0) fbclient::RaiseClientError(fbclient::kQueryParametersMissing);
  // The send item of the wait: its tag, the value's length in 2 bytes and the value in 4, low bytes first.
  std::string sendItems = {static_cast<char>(isc_info_svc_timeout), 4, 0};
  for (int shift = 0; shift < 32; shift += 8)
    sendItems += static_cast<char>((seconds >> shift) & 0xFF);
  queryRequest_.assign(1, static_cast<char>(isc_info_svc_line));
  QueryService(sendItems);

  char* reply = receiveBuffer_.data();
  const std::size_t size = receiveBuffer_.size();
  if (size < kLineTextOffset + 1 || reply[0] != isc_info_svc_line) Malformed();
  const std::size_t length = ItemLength(reply, size, 1);
  std::size_t at = kLineTextOffset + length;
  // Behind the text the server says why it answered before a whole line or the end had come.
  const bool waitedOut = reply[at] == isc_info_svc_timeout || reply[at] == isc_info_data_not_ready;
  if (waitedOut) ++at;
  if (at >= size || reply[at] != isc_info_end) Malformed();
  // Consumed, so that a reply that leaves the buffer as it was cannot pass for this one again.
  reply[at] = '\0';
  if (length == 0 && !waitedOut) {
    endOfOutput_ = true;
    return {};
  }
  const char* text = reply + kLineTextOffset;
  return std::string(text, strnlen(text, length));
}

std::string_view TIBControlAndQueryService::NextInput(const InputRead& input) {
  if (inputWanted_ == 0) return {};
  if (sendBuffer_.empty()) sendBuffer_.resize(kLineTextOffset + kMaxInputPiece);
  // More than the server asked for is an error on its side ("Size of data is more than requested").
  const std::size_t wanted = std::min<std::size_t>(inputWanted_, kMaxInputPiece);
  const std::size_t filled = std::min(input(sendBuffer_.data() + kLineTextOffset, wanted), wanted);
  sendBuffer_[0] = static_cast<char>(isc_info_svc_line);
  sendBuffer_[1] = static_cast<char>(filled & 0xFF);
  sendBuffer_[2] = static_cast<char>(filled >> 8);
  inputWanted_ = 0;
  return {sendBuffer_.data(), kLineTextOffset + filled};
}

std::string TIBControlAndQueryService::ReadOutputLine(const InputRead& input) {
  if (endOfOutput_) return {};
  if (action_ == 0) fbclient::RaiseClientError(fbclient::kQueryParametersMissing);
  for (;;) {
    const std::string_view sendItems = NextInput(input);
    queryRequest_ = {static_cast<char>(isc_info_svc_stdin), static_cast<char>(isc_info_svc_line)};
    QueryService(sendItems);

    // The answer holds the items asked for in any order, and says when the server had no line yet.
    char* reply = receiveBuffer_.data();
    const std::size_t size = receiveBuffer_.size();
    std::uint32_t wanted = 0;
    bool notReady = false;
    std::optional<std::string> line;
    std::size_t at = 0;
    for (;;) {
      if (at >= size) Malformed();
      const char item = reply[at];
      if (item == isc_info_end) break;
      if (item == isc_info_svc_stdin) {
        if (at + 5 > size) Malformed();
        wanted = static_cast<std::uint32_t>(fbclient::Client().isc_vax_integer(reply + at + 1, 4));
        at += 5;
      } else if (item == isc_info_svc_line) {
        const std::size_t length = ItemLength(reply, size, at + 1);
        const char* text = reply + at + kLineTextOffset;
        line.emplace(text, strnlen(text, length));
        at += kLineTextOffset + length;
      } else if (item == isc_info_data_not_ready) {
        notReady = true;
        ++at;
      } else {
        Malformed();
      }
    }
    if (!line) Malformed();
    reply[at] = '\0';
    inputWanted_ = wanted;
    if (!line->empty()) {
      endOfOutput_ = false;
      return *line;
    }
    if (!notReady && wanted == 0) {
      endOfOutput_ = true;
      return {};
    }
  }
}

}  // namespace services
