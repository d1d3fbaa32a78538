#include "TIB_Component.h"

#include "TIB_Session.h"

namespace db {

TIB_Component::TIB_Component(std::string name)
    : name_(std::move(name)), session_(TIB_Session::ForThisThread()) {}

TIB_Component::~TIB_Component() = default;

void TIB_Component::EndInDestructor(const std::function<void()>& last) noexcept {
  destroying_ = true;
  try {
    last();
  } catch (...) {
    // Nothing can be reported from a destructor.
  }
}

}  // namespace db
