#pragma once

// The programs Windows starts for every user at log-on: text values under the machine-wide key
// HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Run (RunOnce for a single start). Every
// call opens the key for full access, uses it once and closes it. Names and data are UTF-8; the values are
// plain text (REG_SZ, with their terminating zero).

#include <memory>
#include <optional>
#include <string>

namespace platform {

class RunKey {
 public:
  virtual ~RunKey() = default;
  // Opens the key (the RunOnce key when once), creating it when missing, and writes the value; false when
  // the key could not be opened or the value not written.
  virtual bool WriteValue(const std::string& name, const std::string& data, bool once) = 0;
  // Deletes the value; a missing value is no error. False when the key could not be opened.
  virtual bool DeleteValue(const std::string& name) = 0;
  // The value's text, empty when there is no such value; nullopt when the key could not be opened.
  virtual std::optional<std::string> ReadValue(const std::string& name) = 0;
};

// The machine's own key: only a Windows build has one.
std::unique_ptr<RunKey> MachineRunKey();

}  // namespace platform
