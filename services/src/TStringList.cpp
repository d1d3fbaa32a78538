#include "services/TStringList.h"

#include <stdexcept>

#include "platform/Wipe.h"

namespace services {

template <class Change>
void TStringList::Modify(Change&& change) {
  if (OnChanging) OnChanging();
  change();
  if (OnChange) OnChange();
}

void TStringList::Add(std::string line) {
  Modify([&] { lines_.push_back(std::move(line)); });
}

void TStringList::Insert(std::size_t index, std::string line) {
  if (index > lines_.size()) throw std::out_of_range("TStringList::Insert: index out of range");
  Modify([&] { lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(index), std::move(line)); });
}

void TStringList::Set(std::size_t index, std::string line) {
  if (index >= lines_.size()) throw std::out_of_range("TStringList::Set: index out of range");
  Modify([&] { lines_[index] = std::move(line); });
}

void TStringList::Delete(std::size_t index) {
  if (index >= lines_.size()) throw std::out_of_range("TStringList::Delete: index out of range");
  Modify([&] { lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(index)); });
}

void TStringList::Clear() {
  if (lines_.empty()) return;
  Modify([&] { lines_.clear(); });
}

void TStringList::Assign(std::vector<std::string> lines) {
  Modify([&] { lines_ = std::move(lines); });
}

void TStringList::Wipe() {
  for (std::string& line : lines_)
    platform::WipeString(line);
  lines_.clear();
  if (OnChange) OnChange();
}

}  // namespace services
