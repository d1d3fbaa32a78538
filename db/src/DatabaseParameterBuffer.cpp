#include "DatabaseParameterBuffer.h"

#include <ibase.h>

#include <algorithm>
#include <cstring>

#include "Errors.h"
#include "Messages.h"

namespace db {

DatabaseParameterBuffer::DatabaseParameterBuffer(TIB_Component* owner)
    : owner_(owner), buffer_(kInitialSize, '\0') {
  buffer_[0] = static_cast<char>(isc_dpb_version1);
  used_ = 1;
}

DatabaseParameterBuffer::~DatabaseParameterBuffer() {
  // The buffer held the password; do not leave it in freed memory.
  volatile char* bytes = buffer_.data();
  for (std::size_t i = 0; i < buffer_.size(); ++i)
    bytes[i] = 0;
}

void DatabaseParameterBuffer::Append(const char* bytes, std::size_t count) {
  if (used_ + count > buffer_.size()) buffer_.resize(std::max(buffer_.size() * 2, used_ + count), '\0');
  std::memcpy(buffer_.data() + used_, bytes, count);
  used_ += count;
}

void DatabaseParameterBuffer::AddText(unsigned char code, const std::string& value) {
  if (value.size() > kMaxValueLength) throw EIB_ConnectionError(owner_, messages::DpbValueTooLong());
  if (value.empty()) return;
  const char header[2] = {static_cast<char>(code), static_cast<char>(value.size())};
  Append(header, 2);
  Append(value.data(), value.size());
}

void DatabaseParameterBuffer::AddByte(unsigned char code, unsigned char value) {
  const char item[3] = {static_cast<char>(code), 1, static_cast<char>(value)};
  Append(item, 3);
}

void DatabaseParameterBuffer::AddInteger(unsigned char code, unsigned int value) {
  const char item[6] = {static_cast<char>(code),
                        4,
                        static_cast<char>(value & 0xFF),
                        static_cast<char>((value >> 8) & 0xFF),
                        static_cast<char>((value >> 16) & 0xFF),
                        static_cast<char>((value >> 24) & 0xFF)};
  Append(item, 6);
}

void DatabaseParameterBuffer::SetLength(std::size_t length) {
  // The attach passes the length as a 16-bit value.
  if (length < 1 || length > buffer_.size() || length > 32767) {
    throw EIB_ConnectionError(owner_, messages::DpbOutOfBuffer());
  }
  used_ = length;
}

bool IsValidConnectionPath(const std::string& path) {
  bool quoted = false;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (path[i] == '"') {
      quoted = !quoted;
    } else if (path[i] == ':' && !quoted) {
      if (i + 1 == path.size()) return true;
      return path[i + 1] == '/' || path[i + 1] == '\\';
    }
  }
  return true;
}

}  // namespace db
