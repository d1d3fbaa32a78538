#pragma once

// The lists in which components keep the others they work with (a connection's transactions and
// statements, a transaction's connections and statements, a statement's transactions): each member
// at most once, in the order it joined.

#include <algorithm>
#include <vector>

namespace db {

// Appends the member unless the list has it; true when it was appended.
template <class Component>
bool AddOnce(std::vector<Component*>& list, Component* member) {
  if (std::find(list.begin(), list.end(), member) != list.end()) return false;
  list.push_back(member);
  return true;
}

template <class Component>
void RemoveFrom(std::vector<Component*>& list, Component* member) {
  list.erase(std::remove(list.begin(), list.end(), member), list.end());
}

}  // namespace db
