#pragma once

// The connection's settings as the ordered "KEY=VALUE" lines it stores them in. Keys are compared
// without regard to letter case; assigning an empty value removes the line.

#include <optional>
#include <string>
#include <vector>

namespace db {

class ConnectionParams {
 public:
  ConnectionParams() = default;
  explicit ConnectionParams(std::vector<std::string> lines) : lines_(std::move(lines)) {}

  const std::vector<std::string>& Lines() const { return lines_; }
  void SetLines(std::vector<std::string> lines) { lines_ = std::move(lines); }

  // The value of the first line with this key; empty when there is none.
  std::string Value(const std::string& key) const;
  // The value, or nothing when no line has the key.
  std::optional<std::string> Find(const std::string& key) const;
  bool Has(const std::string& key) const { return Find(key).has_value(); }
  // Replaces the first line of the key, or appends one; an empty value removes the line.
  void Set(const std::string& key, const std::string& value);
  void Remove(const std::string& key);

 private:
  std::vector<std::string>::const_iterator Line(const std::string& key) const;

  std::vector<std::string> lines_;
};

}  // namespace db
