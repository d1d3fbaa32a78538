#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>

namespace testsupport {

// A temporary folder removed with the object; Path() ends without a separator.
class TempFolder {
 public:
  // A fresh name each time, made by this call alone (create_directory fails on an existing one), on
  // Linux and under Wine alike; open to its owner alone, as mkdtemp makes it.
  TempFolder() {
    static std::mt19937_64 generator{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
      const auto candidate = std::filesystem::temp_directory_path() /
                             ("kelmora-test-" + std::to_string(generator() % 1000000000));
      if (std::filesystem::create_directory(candidate)) {
        path_ = candidate;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all);
        return;
      }
    }
    throw std::runtime_error("no temporary folder could be made");
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // The folder as the program names its own folder: UTF-8, "/" between the names (Windows takes it too)
  // and a trailing "/".
  std::string WithSeparator() const {
    const std::u8string text = path_.generic_u8string();
    return std::string(text.begin(), text.end()) + "/";
  }
  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream out(path_ / name, std::ios::binary | std::ios::trunc);
    out << bytes;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace testsupport
