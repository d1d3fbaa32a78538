#pragma once

// Base of every database component: its name, the session its client calls go through and the
// OnError event, where a handler learns of a failed call and may keep it from being raised.

#include <functional>
#include <memory>
#include <string>

#include "Events.h"

namespace db {

class TIB_Session;

class TIB_Component {
 public:
  explicit TIB_Component(std::string name = {});
  virtual ~TIB_Component();
  TIB_Component(const TIB_Component&) = delete;
  TIB_Component& operator=(const TIB_Component&) = delete;

  const std::string& Name() const { return name_; }

  TIB_ErrorEvent OnError;

  // The calling thread's session, shared by its components: the status vector of their client calls
  // and the last result.
  TIB_Session& IB_Session() { return *session_; }

  // From the start of the component's destructor on, no event of it fires.
  bool Destroying() const { return destroying_; }

 protected:
  // What a destructor runs first: Destroying() turns true, then the component's last operation runs
  // with whatever it raises swallowed, since a destructor can report to no one.
  void EndInDestructor(const std::function<void()>& last) noexcept;

 private:
  std::string name_;
  std::shared_ptr<TIB_Session> session_;
  bool destroying_ = false;
};

}  // namespace db
