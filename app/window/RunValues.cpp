#include "app/window/RunValues.h"

#include "app/desktop/DesktopEntry.h"
#include "app/desktop/DesktopSystem.h"

namespace app {
namespace {

// A value name becomes a file name; one that could step out of the folder or is no name at all has no
// entry (an empty file name is refused by the folder's operations).
std::string EntryFileName(const std::string& name) {
  if (name.empty() || name.find_first_of(std::string("/\0", 2)) != std::string::npos) return {};
  return name + ".desktop";
}

}  // namespace

std::string RunFolder() {
  return Desktop().AutostartFolder();
}

void WriteRunValue(const std::string& name, const std::string& data, bool once) {
  const RunValueError failure("Failed to set data for '" + name + "'");
  // The run-once list has no counterpart in autostart folders.
  if (once || !Desktop().AutostartFolderUsable(true)) throw failure;
  if (!Desktop().WriteAutostartEntry(EntryFileName(name), ComposeAutostartEntry(name, data))) throw failure;
}

void DeleteRunValue(const std::string& name) {
  if (!Desktop().AutostartFolderUsable(false)) {
    ShowMessage(MessageBoxKind::Plain, QStringLiteral("Key not found"));
    return;
  }
  Desktop().RemoveAutostartEntry(EntryFileName(name));
}

bool HasRunValue(const std::string& name) {
  return !ReadRunValue(name).empty();
}

std::string ReadRunValue(const std::string& name) {
  const std::optional<std::string> contents = Desktop().ReadAutostartEntry(EntryFileName(name));
  if (!contents) return {};
  const std::optional<std::string> exec = ReadEntryKey(*contents, "Exec");
  if (!exec) return {};
  const auto arguments = SplitExecArguments(*exec);
  if (!arguments) return *exec;
  std::string data;
  for (const std::string& argument : *arguments) {
    if (!data.empty()) data += ' ';
    data += argument;
  }
  return data;
}

}  // namespace app
