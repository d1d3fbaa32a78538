#pragma once

// The session of a thread: the status vector every client call of the database side passes, the
// result of the last call, the descriptors shared by every prepare and the connections that live in
// it. Components of one thread share it; it goes away with the last of them.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "Events.h"
#include "fbclient/ClientTypes.h"

namespace db {

class SqlDescriptor;
class ConnectionCore;

class TIB_Session {
 public:
  static constexpr short kInitialOutputColumns = 30;
  static constexpr short kInitialInputParameters = 5;

  TIB_Session();
  ~TIB_Session();
  TIB_Session(const TIB_Session&) = delete;
  TIB_Session& operator=(const TIB_Session&) = delete;

  // The calling thread's default session, created on first need.
  static std::shared_ptr<TIB_Session> ForThisThread();
  // The lock around the attach call, session creation and password handling; one per process.
  static std::mutex& ProcessLock();

  fbclient::StatusValue* StatusVector() { return status_.data(); }
  const std::array<fbclient::StatusValue, fbclient::kStatusLength>& Status() const { return status_; }
  void ClearStatus() { status_.fill(0); }

  fbclient::StatusValue LastResult() const { return lastResult_; }
  void SetLastResult(fbclient::StatusValue result) { lastResult_ = result; }

  TIB_ErrorEvent OnError;

  SqlDescriptor& OutputDescriptor() { return *output_; }
  SqlDescriptor& InputDescriptor() { return *input_; }

  // Increases with every cursor name made in the session.
  std::uint64_t NextCursorNumber() { return ++cursorCounter_; }

  void AddConnection(ConnectionCore* connection);
  void RemoveConnection(ConnectionCore* connection);
  const std::vector<ConnectionCore*>& Connections() const { return connections_; }
  // The first connection created in the session, if any.
  ConnectionCore* DefaultConnection() const { return connections_.empty() ? nullptr : connections_.front(); }

 private:
  std::array<fbclient::StatusValue, fbclient::kStatusLength> status_{};
  fbclient::StatusValue lastResult_ = 0;
  std::unique_ptr<SqlDescriptor> output_;
  std::unique_ptr<SqlDescriptor> input_;
  std::uint64_t cursorCounter_ = 0;
  std::vector<ConnectionCore*> connections_;
};

}  // namespace db
