#pragma once

// Statement handles that statements gave back, kept for the next statement of the same connection
// so that a handle is allocated once and reused. The newest handle is handed out first.

#include <vector>

#include "fbclient/ClientTypes.h"

namespace db {

class StatementHandleCache {
 public:
  static constexpr std::size_t kGrowth = 10;

  bool Empty() const { return handles_.empty(); }
  std::size_t Size() const { return handles_.size(); }

  void Push(fbclient::Handle handle);
  // The most recently pushed handle; 0 when the cache is empty.
  fbclient::Handle Pop();

 private:
  std::vector<fbclient::Handle> handles_;
};

}  // namespace db
