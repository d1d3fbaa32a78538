#pragma once

#include <filesystem>
#include <fstream>
#include <string>

namespace testsupport {

// A credentials file as an administrator leaves it: the bytes given, and the mode given (owner read and
// write, group read by default), whatever the test's umask.
inline void WriteCredentialsFile(const std::filesystem::path& file, const std::string& bytes,
                                 std::filesystem::perms mode = std::filesystem::perms::owner_read |
                                                               std::filesystem::perms::owner_write |
                                                               std::filesystem::perms::group_read) {
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
  std::filesystem::permissions(file, mode);
}

}  // namespace testsupport
