#include "tests/support/FileBytes.h"

#include <fstream>
#include <iterator>

namespace testsupport {

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace testsupport
