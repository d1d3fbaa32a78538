#include "TIB_Session.h"

#include "ComponentLists.h"
#include "SqlDescriptor.h"

namespace db {

TIB_Session::TIB_Session()
    : output_(std::make_unique<SqlDescriptor>(kInitialOutputColumns)),
      input_(std::make_unique<SqlDescriptor>(kInitialInputParameters)) {}

TIB_Session::~TIB_Session() = default;

std::shared_ptr<TIB_Session> TIB_Session::ForThisThread() {
  thread_local std::weak_ptr<TIB_Session> current;
  std::shared_ptr<TIB_Session> session = current.lock();
  if (!session) {
    std::lock_guard lock(ProcessLock());
    session = std::make_shared<TIB_Session>();
    current = session;
  }
  return session;
}

std::mutex& TIB_Session::ProcessLock() {
  static std::mutex lock;
  return lock;
}

void TIB_Session::AddConnection(ConnectionCore* connection) {
  connections_.push_back(connection);
}

void TIB_Session::RemoveConnection(ConnectionCore* connection) {
  RemoveFrom(connections_, connection);
}

}  // namespace db
