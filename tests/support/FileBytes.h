#pragma once

#include <filesystem>
#include <string>

namespace testsupport {

// The bytes of a file, as they are on disk (empty when it cannot be read).
std::string ReadAll(const std::filesystem::path& path);

}  // namespace testsupport
