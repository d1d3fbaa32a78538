#include "SqlDescriptor.h"

#include <algorithm>
#include <cstring>

namespace db {

SqlDescriptor::SqlDescriptor(short capacity) {
  EnsureCapacity(capacity);
}

void SqlDescriptor::EnsureCapacity(short count) {
  count = std::max<short>(count, 1);
  if (memory_ && count <= capacity_) return;
  const std::size_t bytes = XSQLDA_LENGTH(count);
  memory_ = std::make_unique<unsigned char[]>(bytes);
  std::memset(memory_.get(), 0, bytes);
  capacity_ = count;
  Get()->version = SQLDA_VERSION1;
  Get()->sqln = count;
}

}  // namespace db
