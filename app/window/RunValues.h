#pragma once

#include <stdexcept>
#include <string>

namespace app {

// A Run value could not be written: "Failed to set data for '%s'" with the value name.
class RunValueError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The programs started for every user at log-on are the entries of the machine-wide autostart folder:
// "autostart" under the first absolute entry of XDG_CONFIG_DIRS, "/etc/xdg" when it names none. A Run
// value is the entry file "<name>.desktop"; its data is the program the entry's Exec line starts, and an
// entry whose Exec line is empty or missing counts as absent. Names and data are UTF-8, as the entries are.
//
// The folder is only used when it can be opened for reading and writing, as the Run key was always
// opened for full access.

// The autostart folder (UTF-8 path, no trailing separator).
std::string RunFolder();

// Writes the entry, creating the folder when it is missing. The file is written next to its final name
// and renamed over it, so a reader sees the old entry or the new one, never a part; a symbolic link in
// the entry's place is replaced, never followed. Throws RunValueError when anything fails. once
// (the run-once list) has no counterpart in autostart folders and is refused the same way.
void WriteRunValue(const std::string& name, const std::string& data, bool once);

// Deletes the entry; a missing entry is no error. When the folder cannot be opened, shows the plain box
// "Key not found" instead.
void DeleteRunValue(const std::string& name);

// Whether the entry exists with a non-empty Exec line. An unopenable folder, a missing entry, anything
// but a regular file (a symbolic link is not followed) and an unreadable file count as absent.
bool HasRunValue(const std::string& name);

// The data of the entry as HasRunValue reads it: the Exec line's arguments unquoted and joined by
// spaces (the line as it stands when its quoting is broken); empty when absent.
std::string ReadRunValue(const std::string& name);

}  // namespace app
