#pragma once

#include <cstdint>

#include "services/TBackupOptions.h"
#include "services/TIBBackupRestoreService.h"

namespace services {

// Backs up a database on the server: DatabaseName is its path there, BackupFile the target file(s),
// each line a path or "path=length" (length in bytes of that file).
class TIBBackupService : public TIBBackupRestoreService {
 public:
  // Whether a BackupFile line is read as "path=length" (the default). Off, every line is one whole path,
  // so that a folder or a file whose name has an "=" can be written; a line without "=" goes out the same
  // either way.
  bool FileLengths() const { return fileLengths_; }
  void SetFileLengths(bool fileLengths) { fileLengths_ = fileLengths; }

  std::int32_t BlockingFactor() const { return blockingFactor_; }
  void SetBlockingFactor(std::int32_t blockingFactor) { blockingFactor_ = blockingFactor; }

  TBackupOptions Options() const { return options_; }
  void SetOptions(TBackupOptions options) { options_ = options; }

  // Client error 94 for an empty DatabaseName (before anything changes); EConvertError for a length
  // that is not an integer.
  void BuildStartRequest() override;

 private:
  std::int32_t blockingFactor_ = 0;
  bool fileLengths_ = true;
  TBackupOptions options_;
};

}  // namespace services
