#pragma once

// The database parameter buffer of an attach, item by item. It starts with the 1024 bytes the
// attach has always reserved and grows instead of overflowing; each single value is limited to
// 255 bytes because its length travels in one byte.

#include <string>
#include <vector>

namespace db {

class TIB_Component;

class DatabaseParameterBuffer {
 public:
  static constexpr std::size_t kInitialSize = 1024;
  static constexpr std::size_t kMaxValueLength = 255;

  // `owner` is named as the sender of the errors raised.
  explicit DatabaseParameterBuffer(TIB_Component* owner);
  ~DatabaseParameterBuffer();
  DatabaseParameterBuffer(const DatabaseParameterBuffer&) = delete;
  DatabaseParameterBuffer& operator=(const DatabaseParameterBuffer&) = delete;

  // Appends code, length and value; an empty value adds nothing; more than 255 bytes raises
  // EIB_ConnectionError "DPB inválido: Contém mais que 255 caracteres".
  void AddText(unsigned char code, const std::string& value);
  void AddByte(unsigned char code, unsigned char value);
  void AddInteger(unsigned char code, unsigned int value);

  // The bytes in use (the version byte first).
  std::vector<char> Bytes() const { return std::vector<char>(buffer_.begin(), buffer_.begin() + used_); }
  std::size_t Length() const { return used_; }
  // The whole buffer (at least 1024 bytes, zero beyond the length) and the length, for a handler
  // that may append items. The length it leaves must lie within the buffer.
  std::vector<char>& Buffer() { return buffer_; }
  void SetLength(std::size_t length);

 private:
  void Append(const char* bytes, std::size_t count);

  TIB_Component* owner_;
  std::vector<char> buffer_;
  std::size_t used_ = 0;
};

// The check of the "PATH" line: the first ":" outside double quotes, unless it is the last
// character, must be followed by "/" or "\".
bool IsValidConnectionPath(const std::string& path);

}  // namespace db
