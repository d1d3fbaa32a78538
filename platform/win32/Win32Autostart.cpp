#include <windows.h>

#include "Wide.h"
#include "platform/Machine.h"
#include "platform/RunKey.h"

namespace platform {
namespace {

using win32::ToWide;
using win32::UniqueKey;

constexpr const wchar_t* kRunPath = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const wchar_t* kRunOncePath = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr const char* kEntryEnding = ".desktop";

bool OpenRunKey(UniqueKey& key, bool once, bool create) {
  const wchar_t* path = once ? kRunOncePath : kRunPath;
  if (create)
    return RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                           nullptr, key.Receive(), nullptr) == ERROR_SUCCESS;
  return RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, key.Receive()) == ERROR_SUCCESS;
}

class MachineRunValues final : public RunKey {
 public:
  bool WriteValue(const std::string& name, const std::string& data, bool once) override {
    UniqueKey key;
    if (!OpenRunKey(key, once, /*create=*/true)) return false;
    const std::wstring text = ToWide(data);
    const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key.Get(), ToWide(name).c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()), bytes) == ERROR_SUCCESS;
  }

  bool DeleteValue(const std::string& name) override {
    UniqueKey key;
    if (!OpenRunKey(key, /*once=*/false, /*create=*/false)) return false;
    RegDeleteValueW(key.Get(), ToWide(name).c_str());
    return true;
  }

  std::optional<std::string> ReadValue(const std::string& name) override {
    UniqueKey key;
    if (!OpenRunKey(key, /*once=*/false, /*create=*/false)) return std::nullopt;
    const std::wstring valueName = ToWide(name);
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(key.Get(), valueName.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
      return std::string();
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key.Get(), valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                         &bytes) != ERROR_SUCCESS)
      return std::string();
    // The stored zero, when there is one, ends the text.
    text.resize(bytes / sizeof(wchar_t));
    if (const std::size_t zero = text.find(L'\0'); zero != std::wstring::npos) text.resize(zero);
    return win32::ToUtf8(text);
  }
};

// "<name>.desktop" names the value <name>; anything else names no value.
std::optional<std::string> ValueName(const std::string& fileName) {
  const std::string ending = kEntryEnding;
  if (fileName.size() <= ending.size() || !fileName.ends_with(ending)) return std::nullopt;
  return fileName.substr(0, fileName.size() - ending.size());
}

}  // namespace

std::unique_ptr<RunKey> MachineRunKey() {
  return std::make_unique<MachineRunValues>();
}

namespace {

// The machine-wide Run key stands for the autostart folder: an entry "<name>.desktop" is the value <name>,
// its contents the value's data, and an empty value counts as no entry.
class RunKeyAutostart final : public Autostart {
 public:
  std::string AutostartFolder() override { return "HKEY_LOCAL_MACHINE\\" + win32::ToUtf8(kRunPath); }

  bool AutostartFolderUsable(bool createWhenMissing) override {
    UniqueKey key;
    return OpenRunKey(key, /*once=*/false, createWhenMissing);
  }

  std::optional<std::string> ReadAutostartEntry(const std::string& fileName) override {
    const std::optional<std::string> name = ValueName(fileName);
    if (!name) return std::nullopt;
    const std::optional<std::string> data = MachineRunValues().ReadValue(*name);
    if (!data || data->empty()) return std::nullopt;
    return data;
  }

  bool WriteAutostartEntry(const std::string& fileName, const std::string& contents) override {
    const std::optional<std::string> name = ValueName(fileName);
    return name && MachineRunValues().WriteValue(*name, contents, /*once=*/false);
  }

  void RemoveAutostartEntry(const std::string& fileName) override {
    if (const std::optional<std::string> name = ValueName(fileName)) MachineRunValues().DeleteValue(*name);
  }
};

}  // namespace

std::unique_ptr<Autostart> MachineAutostart(Environment&) {
  return std::make_unique<RunKeyAutostart>();
}

}  // namespace platform
