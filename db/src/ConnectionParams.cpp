#include "ConnectionParams.h"

#include <algorithm>
#include <cctype>

namespace db {

namespace {

bool SameKey(const std::string& line, const std::string& key) {
  const std::size_t equals = line.find('=');
  const std::size_t length = equals == std::string::npos ? line.size() : equals;
  if (length != key.size()) return false;
  for (std::size_t i = 0; i < length; ++i) {
    if (std::toupper(static_cast<unsigned char>(line[i])) !=
        std::toupper(static_cast<unsigned char>(key[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::vector<std::string>::const_iterator ConnectionParams::Line(const std::string& key) const {
  return std::find_if(lines_.begin(), lines_.end(),
                      [&](const std::string& line) { return SameKey(line, key); });
}

std::optional<std::string> ConnectionParams::Find(const std::string& key) const {
  const auto line = Line(key);
  if (line == lines_.end()) return std::nullopt;
  const std::size_t equals = line->find('=');
  return equals == std::string::npos ? std::string() : line->substr(equals + 1);
}

std::string ConnectionParams::Value(const std::string& key) const {
  return Find(key).value_or(std::string());
}

void ConnectionParams::Set(const std::string& key, const std::string& value) {
  if (value.empty()) {
    Remove(key);
    return;
  }
  const auto line = Line(key);
  if (line == lines_.end()) {
    lines_.push_back(key + "=" + value);
  } else {
    lines_[static_cast<std::size_t>(line - lines_.begin())] = key + "=" + value;
  }
}

void ConnectionParams::Remove(const std::string& key) {
  lines_.erase(std::remove_if(lines_.begin(), lines_.end(),
                              [&](const std::string& line) { return SameKey(line, key); }),
               lines_.end());
}

}  // namespace db
