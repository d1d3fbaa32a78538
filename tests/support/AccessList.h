#pragma once

#include <filesystem>
#include <string>

namespace testsupport {

// A path's POSIX access list (or, for a folder, its default list) in short text form with numeric ids,
// entries in the kernel's order: "u::rwx,u:41000:rwx,g::---,m::rwx,o::---". A path without extended
// entries gives its three mode entries; one that cannot be read gives "".
std::string AccessList(const std::filesystem::path& path);
std::string DefaultAccessList(const std::filesystem::path& folder);

}  // namespace testsupport
