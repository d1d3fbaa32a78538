#include <windows.h>

#include "Wide.h"
#include "platform/RunKey.h"
#include "platform/Win32System.h"

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

std::string Win32System::AutostartFolder() {
  return "HKEY_LOCAL_MACHINE\\" + win32::ToUtf8(kRunPath);
}

bool Win32System::AutostartFolderUsable(bool createWhenMissing) {
  UniqueKey key;
  return OpenRunKey(key, /*once=*/false, createWhenMissing);
}

std::optional<std::string> Win32System::ReadAutostartEntry(const std::string& fileName) {
  const std::optional<std::string> name = ValueName(fileName);
  if (!name) return std::nullopt;
  const std::optional<std::string> data = MachineRunValues().ReadValue(*name);
  if (!data || data->empty()) return std::nullopt;
  return data;
}

bool Win32System::WriteAutostartEntry(const std::string& fileName, const std::string& contents) {
  const std::optional<std::string> name = ValueName(fileName);
  return name && MachineRunValues().WriteValue(*name, contents, /*once=*/false);
}

void Win32System::RemoveAutostartEntry(const std::string& fileName) {
  if (const std::optional<std::string> name = ValueName(fileName)) MachineRunValues().DeleteValue(*name);
}

}  // namespace platform
