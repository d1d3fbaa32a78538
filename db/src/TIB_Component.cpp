#include "db/TIB_Component.h"

namespace db {

TIB_Component::TIB_Component(std::string name)
    : name_(std::move(name)), session_(TIB_Session::ForThisThread()) {}

TIB_Component::~TIB_Component() = default;

void TIB_Component::DoHandleError(long errCode, const TextLines& errorMessage, const TextLines& errorCodes,
                                  long sqlCode, const TextLines& sqlMessage, const TextLines& sql,
                                  bool& raiseException) {
  if (OnError) OnError(this, errCode, errorMessage, errorCodes, sqlCode, sqlMessage, sql, raiseException);
}

}  // namespace db
