#pragma once

#include <optional>
#include <string>

namespace platform {

// The entries of the machine-wide autostart folder, each a file "<name>.desktop" (names are UTF-8).
class Autostart {
 public:
  virtual ~Autostart() = default;
  // The folder (no trailing separator).
  virtual std::string AutostartFolder() = 0;
  // Whether the folder can be opened for reading and writing; createWhenMissing makes it first.
  virtual bool AutostartFolderUsable(bool createWhenMissing) = 0;
  // The entry's contents; nullopt when missing, not a regular file, too large or unreadable.
  virtual std::optional<std::string> ReadAutostartEntry(const std::string& fileName) = 0;
  // Replaces the entry as a whole (a reader sees the old one or the new one); false on any failure.
  virtual bool WriteAutostartEntry(const std::string& fileName, const std::string& contents) = 0;
  virtual void RemoveAutostartEntry(const std::string& fileName) = 0;
};

}  // namespace platform
