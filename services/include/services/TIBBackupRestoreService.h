#pragma once

#include "services/TIBControlAndQueryService.h"

namespace services {

// Adds the verbose switch shared by backup and restore requests.
class TIBBackupRestoreService : public TIBControlAndQueryService {
 public:
  bool Verbose() const { return verbose_; }
  void SetVerbose(bool verbose) { verbose_ = verbose; }

 private:
  bool verbose_ = false;
};

}  // namespace services
