#pragma once

#include "db/TIBOBaseQuery.h"

namespace db {

// The query component of the main window.
class TIBOQuery : public TIBOBaseQuery {
 public:
  using TIBOBaseQuery::TIBOBaseQuery;
};

}  // namespace db
