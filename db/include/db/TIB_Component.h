#pragma once

// Base of every database component: the link to the thread's session and the OnError event.

#include <memory>
#include <string>

#include "db/TIB_Session.h"

namespace db {

class TIB_Component {
 public:
  explicit TIB_Component(std::string name = {});
  virtual ~TIB_Component();
  TIB_Component(const TIB_Component&) = delete;
  TIB_Component& operator=(const TIB_Component&) = delete;

  const std::string& Name() const { return name_; }

  TIB_Session& IB_Session() { return *session_; }
  const std::shared_ptr<TIB_Session>& SessionPtr() const { return session_; }

  TIB_ErrorEvent OnError;

  // Fires OnError when assigned. Used by the error route.
  void DoHandleError(long errCode, const TextLines& errorMessage, const TextLines& errorCodes, long sqlCode,
                     const TextLines& sqlMessage, const TextLines& sql, bool& raiseException);

  bool Destroying() const { return destroying_; }

 protected:
  // What a destructor runs first: from here on no event fires (Destroying()), then the component's last
  // operation runs with whatever it raises swallowed, since a destructor can report to no one.
  template <class LastOperation>
  void EndInDestructor(LastOperation&& last) noexcept {
    destroying_ = true;
    try {
      last();
    } catch (...) {
      // Nothing can be reported from a destructor.
    }
  }

 private:
  std::string name_;
  std::shared_ptr<TIB_Session> session_;
  bool destroying_ = false;
};

}  // namespace db
