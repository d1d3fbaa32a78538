#pragma once

#include <string>

namespace testsupport {

// The line of a job that backed up, and the end of every log block (68 "-" and an empty line), in the
// log's code page 1252.
inline const std::string kBackupDone =
    "Backup conclu\xED"
    "do.\r\n";
inline const std::string kLogBlockEnd = std::string(68, '-') + "\r\n\r\n";

}  // namespace testsupport
