#pragma once

#include "db/TIBODataset.h"

namespace db {

class TIBOBaseQuery : public TIBODataset {
 public:
  using TIBODataset::TIBODataset;
};

}  // namespace db
