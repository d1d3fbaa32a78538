#include "tests/double/DoubleState.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "tests/double/EntryTable.h"
#include "tests/double/Replay.h"

#ifndef FBDOUBLE_VARIANT
#define FBDOUBLE_VARIANT "full"
#endif

namespace fbdouble {

namespace {

// Fake handles are recognisable in a log and never collide with 0.
constexpr FB_API_HANDLE kFirstFakeHandle = 0x1000;

// A name of a descriptor: at most 31 characters, as the library gives them.
void SetName(char* target, short& length, const std::string& name) {
  length = static_cast<short>(std::min<std::size_t>(name.size(), 31));
  std::memcpy(target, name.data(), static_cast<std::size_t>(length));
  target[length] = '\0';
}

unsigned Little(const char* bytes, std::size_t count) {
  unsigned value = 0;
  for (std::size_t i = 0; i < count; ++i)
    value |= static_cast<unsigned>(static_cast<unsigned char>(bytes[i])) << (8 * i);
  return value;
}

// The file a backup request names: its isc_spb_bkp_file, found by walking the items it carries.
std::optional<std::string> BackupFileOf(const char* request, std::size_t length) {
  if (length == 0 || request[0] != isc_action_svc_backup) return std::nullopt;
  std::size_t at = 1;
  while (at < length) {
    const char tag = request[at++];
    if (tag == isc_spb_verbose) continue;
    if (tag == isc_spb_options || tag == isc_spb_bkp_factor || tag == isc_spb_bkp_length) {
      at += 4;
      continue;
    }
    if ((tag != isc_spb_dbname && tag != isc_spb_bkp_file) || at + 2 > length) return std::nullopt;
    const std::size_t size = Little(request + at, 2);
    at += 2;
    if (at + size > length) return std::nullopt;
    if (tag == isc_spb_bkp_file) return std::string(request + at, size);
    at += size;
  }
  return std::nullopt;
}

const EntryPoint& RequireEntryPoint(const std::string& entry) {
  const EntryPoint* found = FindEntryPoint(entry);
  if (found == nullptr) throw std::invalid_argument("fbdouble: unknown entry point " + entry);
  return *found;
}

}  // namespace

DoubleState& DoubleState::Instance() {
  static DoubleState state;
  // A program in a process of its own is scripted by the file its environment names.
  static const bool replayed = (ApplyReplayFromEnvironment(state), true);
  (void)replayed;
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
  rowTable_.clear();
  rowColumns_.clear();
  rowStatement_ = 0;
  rowPending_ = false;
  backupFileBytes_.reset();
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

void DoubleState::ScriptRow(const std::string& table, std::vector<ScriptedColumn> columns) {
  std::lock_guard lock(mutex_);
  rowTable_ = table;
  rowColumns_ = std::move(columns);
}

void DoubleState::ScriptBackupFile(const std::string& bytes) {
  std::lock_guard lock(mutex_);
  backupFileBytes_ = bytes;
}

ISC_STATUS DoubleState::FakePrepare(FB_API_HANDLE statement, const char* sql, std::size_t length,
                                    XSQLDA* sqlda) {
  {
    std::lock_guard lock(mutex_);
    const std::string text = sql == nullptr ? std::string()
                             : length == 0  ? std::string(sql)
                                            : std::string(sql, length);
    // The handle may have held the row's query before: a new statement on it is another query.
    if (statement == rowStatement_) rowStatement_ = 0;
    if (!rowTable_.empty() && text.find("FROM " + rowTable_) != std::string::npos) rowStatement_ = statement;
  }
  return FakeDescribe(statement, sqlda);
}

ISC_STATUS DoubleState::FakeDescribe(FB_API_HANDLE statement, XSQLDA* sqlda) {
  if (sqlda == nullptr) return 0;
  std::lock_guard lock(mutex_);
  if (statement == 0 || statement != rowStatement_) {
    sqlda->sqld = 0;
    return 0;
  }
  sqlda->sqld = static_cast<short>(rowColumns_.size());
  // A descriptor too small learns the count and is described again, larger.
  for (short i = 0; i < sqlda->sqld && i < sqlda->sqln; ++i) {
    const ScriptedColumn& column = rowColumns_[static_cast<std::size_t>(i)];
    XSQLVAR& var = sqlda->sqlvar[i];
    var.sqltype = static_cast<short>(column.sqltype | 1);
    var.sqlscale = 0;
    var.sqlsubtype = 0;
    var.sqllen = column.sqllen;
    SetName(var.sqlname, var.sqlname_length, column.name);
    SetName(var.aliasname, var.aliasname_length, column.name);
    SetName(var.relname, var.relname_length, rowTable_);
    SetName(var.ownname, var.ownname_length, "SYSDBA");
  }
  return 0;
}

void DoubleState::FakeExecute(FB_API_HANDLE statement) {
  std::lock_guard lock(mutex_);
  rowPending_ = statement != 0 && statement == rowStatement_;
}

ISC_STATUS DoubleState::FakeFetch(FB_API_HANDLE statement, const XSQLDA* sqlda) {
  std::lock_guard lock(mutex_);
  if (statement == 0 || statement != rowStatement_ || !rowPending_ || sqlda == nullptr) return 100;
  rowPending_ = false;
  for (short i = 0; i < sqlda->sqld && i < sqlda->sqln && static_cast<std::size_t>(i) < rowColumns_.size();
       ++i) {
    const ScriptedColumn& column = rowColumns_[static_cast<std::size_t>(i)];
    const XSQLVAR& var = sqlda->sqlvar[i];
    if (var.sqlind != nullptr) *var.sqlind = column.value ? 0 : -1;
    if (!column.value || var.sqldata == nullptr) continue;
    if (column.sqltype == SQL_LONG) {
      const ISC_LONG number = static_cast<ISC_LONG>(std::stol(*column.value));
      std::memcpy(var.sqldata, &number, sizeof number);
    } else if (column.sqltype == SQL_VARYING) {
      const std::size_t size =
          std::min<std::size_t>(column.value->size(), static_cast<std::size_t>(var.sqllen));
      var.sqldata[0] = static_cast<char>(size & 0xFF);
      var.sqldata[1] = static_cast<char>(size >> 8);
      std::memcpy(var.sqldata + 2, column.value->data(), size);
    }
  }
  return 0;
}

void DoubleState::FakeServiceStart(const char* request, std::size_t length) {
  std::lock_guard lock(mutex_);
  if (!backupFileBytes_ || request == nullptr) return;
  if (const std::optional<std::string> file = BackupFileOf(request, length))
    std::ofstream(*file, std::ios::binary | std::ios::trunc) << *backupFileBytes_;
}

}  // namespace fbdouble

extern "C" __attribute__((visibility("default"))) fbdouble::Control* fbdouble_control() {
  return &fbdouble::DoubleState::Instance();
}
