#include "tests/double/DoubleState.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "tests/double/EntryTable.h"

#ifndef FBDOUBLE_VARIANT
#define FBDOUBLE_VARIANT "full"
#endif

namespace fbdouble {

namespace {

// Fake handles are recognisable in a log and never collide with 0.
constexpr FB_API_HANDLE kFirstFakeHandle = 0x1000;

const EntryPoint& RequireEntryPoint(const std::string& entry) {
  const EntryPoint* found = FindEntryPoint(entry);
  if (found == nullptr) throw std::invalid_argument("fbdouble: unknown entry point " + entry);
  return *found;
}

}  // namespace

DoubleState& DoubleState::Instance() {
  static DoubleState state;
  return state;
}

void DoubleState::Reset() {
  std::lock_guard lock(mutex_);
  forwarding_ = true;
  recording_ = true;
  calls_.clear();
  faults_.clear();
  replies_.clear();
  replayLinesLeft_ = 0;
  replayEndPending_ = false;
  replayReply_.clear();
  nextHandle_ = 0;
}

void DoubleState::SetForwarding(bool forward) {
  forwarding_ = forward;
}

bool DoubleState::Forwarding() const {
  return forwarding_;
}

std::vector<Call> DoubleState::Calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

void DoubleState::ClearCalls() {
  std::lock_guard lock(mutex_);
  calls_.clear();
}

std::vector<ISC_STATUS> DoubleState::KeepStrings(const std::vector<ISC_STATUS>& status) {
  auto pooled = [this](const char* text, std::size_t length) {
    const auto inserted = stringPool_.insert(std::string(text, length));
    return reinterpret_cast<ISC_STATUS>(inserted.first->c_str());
  };
  std::vector<ISC_STATUS> kept = status;
  std::size_t i = 0;
  while (i < kept.size() && kept[i] != isc_arg_end) {
    const ISC_STATUS type = kept[i];
    if (type == isc_arg_cstring) {
      if (i + 2 >= kept.size()) throw std::invalid_argument("fbdouble: isc_arg_cstring without its text");
      const auto length = static_cast<std::size_t>(kept[i + 1]);
      kept[i + 2] = pooled(reinterpret_cast<const char*>(kept[i + 2]), length);
      i += 3;
      continue;
    }
    if (i + 1 >= kept.size()) throw std::invalid_argument("fbdouble: status vector ends inside an argument");
    if (type == isc_arg_string || type == isc_arg_interpreted || type == isc_arg_sql_state) {
      const char* text = reinterpret_cast<const char*>(kept[i + 1]);
      kept[i + 1] = pooled(text, std::strlen(text));
    }
    i += 2;
  }
  if (i >= kept.size()) kept.push_back(isc_arg_end);
  kept.resize(i + 1);
  return kept;
}

void DoubleState::Fail(const std::string& entry, const std::vector<ISC_STATUS>& status, int skip, int times) {
  if (!RequireEntryPoint(entry).takesStatus) {
    throw std::invalid_argument("fbdouble: " + entry + " has no status vector to fail with");
  }
  if (status.size() < 2) throw std::invalid_argument("fbdouble: a status vector needs at least two elements");
  if (skip < 0 || times == 0 || times < -1) throw std::invalid_argument("fbdouble: bad skip/times");
  std::lock_guard lock(mutex_);
  std::vector<ISC_STATUS> kept = KeepStrings(status);
  if (kept.size() > ISC_STATUS_LENGTH) throw std::invalid_argument("fbdouble: status vector longer than 20");
  faults_.push_back(Fault{entry, std::move(kept), skip, times, 0});
}

void DoubleState::QueueReply(const std::string& entry, const std::vector<unsigned char>& bytes) {
  if (entry != "isc_service_query" && entry != "isc_database_info" && entry != "isc_dsql_sql_info") {
    throw std::invalid_argument("fbdouble: no scripted replies for " + entry);
  }
  std::lock_guard lock(mutex_);
  replies_[entry].push_back(bytes);
}

void DoubleState::ReplayServiceLines(int count, const std::string& lineText) {
  if (count < 0 || lineText.size() > 0xFFFF) throw std::invalid_argument("fbdouble: bad replayed line");
  std::lock_guard lock(mutex_);
  replayLinesLeft_ = count;
  replayEndPending_ = true;
  replayReply_.clear();
  replayReply_.push_back(static_cast<char>(isc_info_svc_line));
  replayReply_.push_back(static_cast<char>(lineText.size() & 0xFF));
  replayReply_.push_back(static_cast<char>(lineText.size() >> 8));
  replayReply_.insert(replayReply_.end(), lineText.begin(), lineText.end());
  replayReply_.push_back(static_cast<char>(isc_info_end));
}

std::string DoubleState::Variant() const {
  return FBDOUBLE_VARIANT;
}

void DoubleState::SetRecording(bool record) {
  recording_ = record;
}

bool DoubleState::Recording() const {
  return recording_;
}

std::optional<std::vector<ISC_STATUS>> DoubleState::TakeFault(const std::string& entry) {
  std::lock_guard lock(mutex_);
  std::optional<std::vector<ISC_STATUS>> fired;
  for (Fault& fault : faults_) {
    if (fault.entry != entry) continue;
    const int index = fault.seen++;
    const bool inWindow = index >= fault.skip && (fault.times < 0 || index < fault.skip + fault.times);
    if (inWindow && !fired) fired = fault.status;
  }
  return fired;
}

std::optional<std::vector<unsigned char>> DoubleState::TakeReply(const std::string& entry) {
  std::lock_guard lock(mutex_);
  auto found = replies_.find(entry);
  if (found == replies_.end() || found->second.empty()) return std::nullopt;
  std::vector<unsigned char> reply = std::move(found->second.front());
  found->second.pop_front();
  return reply;
}

bool DoubleState::ServeReplayedLine(char* buffer, std::size_t length) {
  static constexpr char kEndOfOutput[] = {isc_info_svc_line, 0, 0, isc_info_end};
  std::lock_guard lock(mutex_);
  if (replayLinesLeft_ > 0) {
    --replayLinesLeft_;
    std::memcpy(buffer, replayReply_.data(), std::min(length, replayReply_.size()));
    return true;
  }
  if (replayEndPending_) {
    replayEndPending_ = false;
    std::memcpy(buffer, kEndOfOutput, std::min(length, sizeof kEndOfOutput));
    return true;
  }
  return false;
}

FB_API_HANDLE DoubleState::NewHandle() {
  std::lock_guard lock(mutex_);
  return kFirstFakeHandle + nextHandle_++;
}

void DoubleState::Record(Call call) {
  std::lock_guard lock(mutex_);
  if (recording_) calls_.push_back(std::move(call));
}

}  // namespace fbdouble

extern "C" __attribute__((visibility("default"))) fbdouble::Control* fbdouble_control() {
  return &fbdouble::DoubleState::Instance();
}
