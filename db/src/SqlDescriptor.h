#pragma once

// An XSQLDA (version 1) in memory of its own. It only grows: a statement that needs more room
// enlarges it and every later statement of the session reuses the larger block.

#include <ibase.h>

#include <cstddef>
#include <memory>

namespace db {

class SqlDescriptor {
 public:
  explicit SqlDescriptor(short capacity);

  XSQLDA* Get() { return reinterpret_cast<XSQLDA*>(memory_.get()); }
  // Makes room for at least `count` variables; existing contents are not kept.
  void EnsureCapacity(short count);
  // The descriptor with room for `count` variables, telling the client that `count` are in use.
  XSQLDA* HoldVariables(std::size_t count) {
    EnsureCapacity(static_cast<short>(count));
    Get()->sqld = static_cast<short>(count);
    return Get();
  }

 private:
  std::unique_ptr<unsigned char[]> memory_;
  short capacity_ = 0;
};

}  // namespace db
