#pragma once

#include <atomic>
#include <cstddef>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tests/double/FbDouble.h"

namespace fbdouble {

// A column of the row a replay scripts (Replay.h): SQL_VARYING, SQL_LONG or SQL_TIMESTAMP, always nullable.
struct ScriptedColumn {
  std::string name;
  short sqltype = SQL_VARYING;
  short sqllen = 0;
  std::optional<std::string> value;  // nullopt: NULL
};

// Everything a test controls and everything the double remembers, shared by all entry points.
class DoubleState final : public Control {
 public:
  static DoubleState& Instance();

  void Reset() override;
  void SetForwarding(bool forward) override;
  bool Forwarding() const override;
  std::vector<Call> Calls() const override;
  void ClearCalls() override;
  void Fail(const std::string& entry, const std::vector<ISC_STATUS>& status, int skip, int times) override;
  void QueueReply(const std::string& entry, const std::vector<unsigned char>& bytes) override;
  void ReplayServiceLines(int count, const std::string& lineText) override;
  std::string Variant() const override;
  void SetRecording(bool record) override;
  bool Recording() const override;

  // Counts the call against every fault of `entry` and returns the injected vector when one fires.
  std::optional<std::vector<ISC_STATUS>> TakeFault(const std::string& entry);
  std::optional<std::vector<unsigned char>> TakeReply(const std::string& entry);
  // Writes the next replayed line (or the end of output) into the buffer; false when not replaying.
  bool ServeReplayedLine(char* buffer, std::size_t length);
  FB_API_HANDLE NewHandle();
  void Record(Call call);

  // The one row a query of `table` answers while forwarding is off, as a replay file scripts it.
  void ScriptRow(const std::string& table, std::vector<ScriptedColumn> columns);
  // The bytes a backup request's file gets while forwarding is off, as a server would write them there.
  void ScriptBackupFile(const std::string& bytes);
  // The fakes' answers for the scripted row: a prepared query of its table is described with its columns
  // and fetches it once after every execute; any other statement has no columns and no rows.
  ISC_STATUS FakePrepare(FB_API_HANDLE statement, const char* sql, std::size_t length, XSQLDA* sqlda);
  ISC_STATUS FakeDescribe(FB_API_HANDLE statement, XSQLDA* sqlda);
  void FakeExecute(FB_API_HANDLE statement);
  ISC_STATUS FakeFetch(FB_API_HANDLE statement, const XSQLDA* sqlda);
  // Writes the scripted backup file where a backup request names it.
  void FakeServiceStart(const char* request, std::size_t length);

 private:
  struct Fault {
    std::string entry;
    std::vector<ISC_STATUS> status;
    int skip = 0;
    int times = 1;
    int seen = 0;
  };

  // Copies the strings a status vector points at into the pool and points the copy at them.
  std::vector<ISC_STATUS> KeepStrings(const std::vector<ISC_STATUS>& status);

  mutable std::mutex mutex_;
  // Asked for on every call: single flags, read and written without the lock.
  std::atomic<bool> forwarding_ = true;
  std::atomic<bool> recording_ = true;
  std::vector<Call> calls_;
  std::vector<Fault> faults_;
  std::map<std::string, std::deque<std::vector<unsigned char>>> replies_;
  long long replayLinesLeft_ = 0;
  bool replayEndPending_ = false;
  std::vector<char> replayReply_;
  FB_API_HANDLE nextHandle_ = 0;
  std::string rowTable_;
  std::vector<ScriptedColumn> rowColumns_;
  FB_API_HANDLE rowStatement_ = 0;
  bool rowPending_ = false;
  std::optional<std::string> backupFileBytes_;
  // Never shrinks while the library is loaded: a caller may still interpret an old vector.
  std::set<std::string> stringPool_;
};

}  // namespace fbdouble
