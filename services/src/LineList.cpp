#include "services/LineList.h"

#include <stdexcept>

#include "platform/Wipe.h"

namespace services {

template <class Change>
void LineList::Modify(Change&& change) {
  if (OnChanging) OnChanging();
  change();
  if (OnChange) OnChange();
}

void LineList::Add(std::string line) {
  Modify([&] { lines_.push_back(std::move(line)); });
}

void LineList::Insert(std::size_t index, std::string line) {
  if (index > lines_.size()) throw std::out_of_range("LineList::Insert: index out of range");
  Modify([&] { lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(index), std::move(line)); });
}

void LineList::Set(std::size_t index, std::string line) {
  if (index >= lines_.size()) throw std::out_of_range("LineList::Set: index out of range");
  Modify([&] { lines_[index] = std::move(line); });
}

void LineList::Delete(std::size_t index) {
  if (index >= lines_.size()) throw std::out_of_range("LineList::Delete: index out of range");
  Modify([&] { lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(index)); });
}

void LineList::Clear() {
  if (lines_.empty()) return;
  Modify([&] { lines_.clear(); });
}

void LineList::Assign(std::vector<std::string> lines) {
  Modify([&] { lines_ = std::move(lines); });
}

void LineList::Wipe() {
  for (std::string& line : lines_)
    platform::WipeString(line);
  lines_.clear();
  if (OnChange) OnChange();
}

}  // namespace services
