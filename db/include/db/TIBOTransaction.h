#pragma once

#include "db/TIB_Transaction.h"

namespace db {

// The transaction component of the main window.
class TIBOTransaction : public TIB_Transaction {
 public:
  using TIB_Transaction::TIB_Transaction;
};

}  // namespace db
