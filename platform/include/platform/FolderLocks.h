#pragma once

#include <memory>
#include <string>

namespace platform {

// A folder held by this program until the object goes.
class FolderLock {
 public:
  virtual ~FolderLock() = default;
};

struct FolderLockAttempt {
  enum class Outcome {
    Taken,          // lock holds it
    HeldByAnother,  // another process (or another lock of this one) holds the folder now
    Failed          // the lock could not be tried at all: error says why
  };
  Outcome outcome = Outcome::Failed;
  std::unique_ptr<FolderLock> lock;
  std::string error;
};

// One holder at a time for a folder, across every process of the machine that asks the same way: two jobs
// that write the same files must not run at once. The holder's end, however it comes (a kill included),
// frees the folder.
class FolderLocks {
 public:
  virtual ~FolderLocks() = default;
  // Never waits for the folder to be free.
  virtual FolderLockAttempt TryLockFolder(const std::string& folder) = 0;
};

}  // namespace platform
