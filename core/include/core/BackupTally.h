#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace core {

// What a backup's verbose output says it wrote, read line by line as the server sends them: the rows of
// each table ("writing data for table T", then "N records written", the last count standing) and the
// length of the file (its last line, "... N bytes written"). The server counts what it wrote while it
// wrote it; a file cut off afterwards, or a restore that stopped early, cannot agree with it.
class BackupTally {
 public:
  void Read(std::string_view cp1252Line);

  // By table name as the lines spell it (code page 1252).
  const std::map<std::string, std::int64_t>& RowsWritten() const { return rows_; }
  // nullopt until the line that ends a complete backup has come.
  std::optional<std::int64_t> BytesWritten() const { return bytes_; }

 private:
  std::map<std::string, std::int64_t> rows_;
  std::string table_;  // the table whose data the lines are about
  std::optional<std::int64_t> bytes_;
};

}  // namespace core
