#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace services {

// An ordered list of text lines whose owner hears of every change: OnChanging runs before the change
// and may refuse it by throwing (the list then stays as it was), OnChange runs after it.
class LineList {
 public:
  std::size_t Count() const { return lines_.size(); }
  bool Empty() const { return lines_.empty(); }
  const std::string& operator[](std::size_t index) const { return lines_.at(index); }
  const std::vector<std::string>& Lines() const { return lines_; }
  std::vector<std::string>::const_iterator begin() const { return lines_.begin(); }
  std::vector<std::string>::const_iterator end() const { return lines_.end(); }

  void Add(std::string line);
  void Insert(std::size_t index, std::string line);
  void Set(std::size_t index, std::string line);
  void Delete(std::size_t index);
  // Clearing an empty list is no change.
  void Clear();
  // Replaces every line in one change.
  void Assign(std::vector<std::string> lines);
  // Overwrites every byte the lines hold and empties the list; OnChange runs, OnChanging does not, as
  // nothing may stop it.
  void Wipe();

  std::function<void()> OnChanging;
  std::function<void()> OnChange;

 private:
  template <class Change>
  void Modify(Change&& change);

  std::vector<std::string> lines_;
};

}  // namespace services
