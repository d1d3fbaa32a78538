#include <sys/stat.h>

#include <string>

#include "platform/Journal.h"

namespace platform {

bool StandardErrorIsJournal(Environment& environment) {
  const std::optional<std::string> stream = environment.Variable("JOURNAL_STREAM");
  if (!stream) return false;
  struct stat standardError {};
  if (::fstat(2, &standardError) != 0) return false;
  return *stream == std::to_string(standardError.st_dev) + ":" + std::to_string(standardError.st_ino);
}

}  // namespace platform
