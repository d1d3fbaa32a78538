#pragma once

// Statement handles that statements gave back, kept for the next statement of the same connection
// so that a handle is allocated once and reused. The newest handle is handed out first.

#include <ibase.h>

#include <vector>

namespace db {

class StatementHandleCache {
 public:
  static constexpr std::size_t kGrowth = 10;

  bool Empty() const { return handles_.empty(); }
  std::size_t Size() const { return handles_.size(); }
  const std::vector<isc_stmt_handle>& Handles() const { return handles_; }

  void Push(isc_stmt_handle handle);
  // The most recently pushed handle; 0 when the cache is empty.
  isc_stmt_handle Pop();

 private:
  std::vector<isc_stmt_handle> handles_;
};

}  // namespace db
