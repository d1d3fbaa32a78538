#include "StatementHandleCache.h"

namespace db {

void StatementHandleCache::Push(fbclient::Handle handle) {
  // Storage grows and shrinks in steps, not per handle.
  if (handles_.size() == handles_.capacity()) handles_.reserve(handles_.capacity() + kGrowth);
  handles_.push_back(handle);
}

fbclient::Handle StatementHandleCache::Pop() {
  if (handles_.empty()) return 0;
  const fbclient::Handle handle = handles_.back();
  handles_.pop_back();
  if (handles_.capacity() >= handles_.size() + 2 * kGrowth) handles_.shrink_to_fit();
  return handle;
}

}  // namespace db
