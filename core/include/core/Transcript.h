#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace core {

// The lines a backup job writes, in code page 1252 as the log keeps them: what the output area shows and
// what the log receives at the end of the job are both read from here, so the two never differ.
class Transcript {
 public:
  void Clear() {
    lines_.clear();
    ++clearings_;
  }
  // How many times it was cleared: a reader that keeps its place in the lines starts again when it changes.
  std::uint64_t Clearings() const { return clearings_; }
  // Adds text as new lines; line breaks inside it (CR LF, LF or CR) start further lines.
  void Add(std::string_view text);
  const std::vector<std::string>& Lines() const { return lines_; }
  // The whole text, every line followed by CR LF.
  std::string Text() const;

 private:
  std::vector<std::string> lines_;
  std::uint64_t clearings_ = 0;
};

}  // namespace core
