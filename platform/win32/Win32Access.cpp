#include <windows.h>
// After windows.h, which they need.
#include <aclapi.h>
#include <sddl.h>

#include "Wide.h"
#include "Win32Files.h"
#include "platform/Machine.h"

namespace platform {
namespace {

using win32::ToWide;
using win32::UniqueHandle;

constexpr DWORD kReadRights = FILE_READ_DATA | GENERIC_READ | GENERIC_ALL;
constexpr DWORD kWriteRights = FILE_WRITE_DATA | FILE_APPEND_DATA | GENERIC_WRITE | GENERIC_ALL;

// Memory the security functions allocate with LocalAlloc.
template <class T>
class LocalMemory {
 public:
  LocalMemory() = default;
  ~LocalMemory() {
    if (memory_ != nullptr) LocalFree(memory_);
  }
  LocalMemory(const LocalMemory&) = delete;
  LocalMemory& operator=(const LocalMemory&) = delete;
  T** Receive() { return &memory_; }
  T* Get() const { return memory_; }

 private:
  T* memory_ = nullptr;
};

std::vector<unsigned char> CopySid(const void* sid) {
  const auto* bytes = static_cast<const unsigned char*>(sid);
  return std::vector<unsigned char>(bytes, bytes + GetLengthSid(const_cast<void*>(sid)));
}

// The account this process runs as.
std::vector<unsigned char> OwnSid() {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return {};
  UniqueHandle token(raw);
  DWORD size = 0;
  GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> buffer(size);
  if (size == 0 || !GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size)) return {};
  return CopySid(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
}

std::wstring SidText(const void* sid) {
  LocalMemory<wchar_t> text;
  if (!ConvertSidToStringSidW(const_cast<void*>(sid), text.Receive())) return {};
  return text.Get();
}

bool IsWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) {
  return IsWellKnownSid(sid, type) != 0;
}

// The owner, the system's own account and the administrators are no one else.
bool IsOwnerOrMachine(PSID sid, PSID owner) {
  return (owner != nullptr && EqualSid(sid, owner)) || IsWellKnown(sid, WinLocalSystemSid) ||
         IsWellKnown(sid, WinBuiltinAdministratorsSid) || IsWellKnown(sid, WinCreatorOwnerSid);
}

}  // namespace

bool win32::Win32Files::CreateFolder(const std::string& path) {
  const std::vector<unsigned char> own = OwnSid();
  if (own.empty()) return false;
  // Not inherited from the parent (whose list may let every user in): the backups hold the whole database.
  const std::wstring descriptor =
      L"D:P(A;OICI;FA;;;" + SidText(own.data()) + L")(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
  LocalMemory<void> security;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(descriptor.c_str(), SDDL_REVISION_1,
                                                            security.Receive(), nullptr))
    return false;
  SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), security.Get(), FALSE};
  return CreateDirectoryW(ToWide(path).c_str(), &attributes) != 0;
}

std::optional<FileStamp> win32::Win32Files::Stamp(const std::string& path) {
  UniqueHandle file(CreateFileW(
      ToWide(path).c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file.Valid()) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file.Get(), &info)) return std::nullopt;
  const auto modified = win32::FromFileTime(info.ftLastWriteTime).time_since_epoch();
  return FileStamp{
      info.dwVolumeSerialNumber, (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow,
      static_cast<std::int64_t>((static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow),
      std::chrono::duration_cast<std::chrono::nanoseconds>(modified).count()};
}

std::optional<FileExposure> win32::Win32Files::Exposure(const std::string& path) {
  PSID owner = nullptr;
  PACL list = nullptr;
  LocalMemory<void> security;
  if (GetNamedSecurityInfoW(ToWide(path).c_str(), SE_FILE_OBJECT,
                            OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr, &list,
                            nullptr, security.Receive()) != ERROR_SUCCESS)
    return std::nullopt;
  // No list at all lets everyone do everything.
  if (list == nullptr) return FileExposure{true, true};
  FileExposure exposure;
  for (DWORD i = 0; i < list->AceCount; ++i) {
    void* raw = nullptr;
    if (!GetAce(list, i, &raw)) continue;
    const auto* header = static_cast<const ACE_HEADER*>(raw);
    // A deny entry lets no one in, and an entry only for what is made inside applies to others.
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE) != 0) continue;
    auto* entry = static_cast<ACCESS_ALLOWED_ACE*>(raw);
    PSID sid = &entry->SidStart;
    if (IsOwnerOrMachine(sid, owner)) continue;
    exposure.othersMayRead = exposure.othersMayRead || (entry->Mask & kReadRights) != 0;
    exposure.othersMayWrite = exposure.othersMayWrite || (entry->Mask & kWriteRights) != 0;
  }
  return exposure;
}

bool win32::Win32Files::OthersMayWriteIn(const std::string& folder,
                                         const std::vector<std::uint32_t>& accounts) {
  PSID owner = nullptr;
  PACL list = nullptr;
  LocalMemory<void> security;
  if (GetNamedSecurityInfoW(ToWide(folder).c_str(), SE_FILE_OBJECT,
                            OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr, &list,
                            nullptr, security.Receive()) != ERROR_SUCCESS ||
      list == nullptr)
    return true;
  std::vector<std::vector<unsigned char>> allowed;
  for (const std::uint32_t account : accounts)
    allowed.push_back(AccountSid(account));
  allowed.push_back(OwnSid());
  // Adding a file or a folder, or deleting one, is writing in the folder.
  constexpr DWORD kFolderWriteRights = kWriteRights | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD | DELETE;
  for (DWORD i = 0; i < list->AceCount; ++i) {
    void* raw = nullptr;
    if (!GetAce(list, i, &raw)) continue;
    const auto* header = static_cast<const ACE_HEADER*>(raw);
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE) != 0) continue;
    auto* entry = static_cast<ACCESS_ALLOWED_ACE*>(raw);
    PSID sid = &entry->SidStart;
    if ((entry->Mask & kFolderWriteRights) == 0 || IsWellKnown(sid, WinLocalSystemSid) ||
        IsWellKnown(sid, WinBuiltinAdministratorsSid) || IsWellKnown(sid, WinCreatorOwnerSid))
      continue;
    bool ours = false;
    for (const auto& account : allowed)
      ours = ours || (!account.empty() && EqualSid(sid, const_cast<unsigned char*>(account.data())));
    if (!ours) return true;
  }
  return false;
}

bool win32::Win32Files::AccountMayWrite(const std::string& folder, std::uint32_t accountId) {
  std::vector<unsigned char> account = AccountSid(accountId);
  PACL list = nullptr;
  LocalMemory<void> security;
  if (account.empty() ||
      GetNamedSecurityInfoW(ToWide(folder).c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                            nullptr, &list, nullptr, security.Receive()) != ERROR_SUCCESS)
    return false;
  if (list == nullptr) return true;
  // Passing through the folders on the way needs no right of its own on Windows.
  constexpr DWORD kAddFileRights = FILE_ADD_FILE | GENERIC_WRITE | GENERIC_ALL;
  bool allowed = false;
  for (DWORD i = 0; i < list->AceCount; ++i) {
    void* raw = nullptr;
    if (!GetAce(list, i, &raw)) continue;
    const auto* header = static_cast<const ACE_HEADER*>(raw);
    if ((header->AceFlags & INHERIT_ONLY_ACE) != 0) continue;
    if (header->AceType == ACCESS_DENIED_ACE_TYPE) {
      auto* entry = static_cast<ACCESS_DENIED_ACE*>(raw);
      if (EqualSid(&entry->SidStart, account.data()) && (entry->Mask & kAddFileRights) != 0) return false;
    } else if (header->AceType == ACCESS_ALLOWED_ACE_TYPE) {
      auto* entry = static_cast<ACCESS_ALLOWED_ACE*>(raw);
      allowed =
          allowed || (EqualSid(&entry->SidStart, account.data()) && (entry->Mask & kAddFileRights) != 0);
    }
  }
  return allowed;
}

std::optional<std::uint32_t> win32::Win32Files::RememberAccount(const void* sid) {
  std::vector<unsigned char> bytes = CopySid(sid);
  const std::lock_guard lock(accountsMutex_);
  for (std::size_t i = 0; i < accounts_.size(); ++i)
    if (accounts_[i] == bytes) return static_cast<std::uint32_t>(i);
  accounts_.push_back(std::move(bytes));
  return static_cast<std::uint32_t>(accounts_.size() - 1);
}

std::vector<unsigned char> win32::Win32Files::AccountSid(std::uint32_t id) {
  const std::lock_guard lock(accountsMutex_);
  return id < accounts_.size() ? accounts_[id] : std::vector<unsigned char>();
}

std::optional<std::uint32_t> win32::Win32Files::AccountId(const std::string& account) {
  if (account.empty()) return std::nullopt;
  const std::wstring name = ToWide(account);
  if (account.starts_with("S-")) {
    LocalMemory<void> sid;
    if (!ConvertStringSidToSidW(name.c_str(), sid.Receive())) return std::nullopt;
    return RememberAccount(sid.Get());
  }
  DWORD sidSize = 0;
  DWORD domainSize = 0;
  SID_NAME_USE use{};
  LookupAccountNameW(nullptr, name.c_str(), nullptr, &sidSize, nullptr, &domainSize, &use);
  if (sidSize == 0) return std::nullopt;
  std::vector<unsigned char> sid(sidSize);
  std::wstring domain(domainSize, L'\0');
  if (!LookupAccountNameW(nullptr, name.c_str(), sid.data(), &sidSize, domain.data(), &domainSize, &use))
    return std::nullopt;
  return RememberAccount(sid.data());
}

std::uint32_t win32::Win32Files::OwnId() {
  const std::vector<unsigned char> own = OwnSid();
  return own.empty() ? 0 : RememberAccount(own.data()).value_or(0);
}

bool win32::Win32Files::ShareFolder(const std::string& folder, std::uint32_t accountId) {
  std::vector<unsigned char> account = AccountSid(accountId);
  std::vector<unsigned char> own = OwnSid();
  if (account.empty() || own.empty()) return false;
  const std::wstring path = ToWide(folder);
  PACL current = nullptr;
  LocalMemory<void> security;
  if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                            &current, nullptr, security.Receive()) != ERROR_SUCCESS)
    return false;
  // The account and we get full control of the folder and of whatever either makes in it.
  EXPLICIT_ACCESS_W entries[2] = {};
  std::vector<unsigned char>* sids[2] = {&account, &own};
  for (int i = 0; i < 2; ++i) {
    entries[i].grfAccessPermissions = GENERIC_ALL;
    entries[i].grfAccessMode = GRANT_ACCESS;
    entries[i].grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
    entries[i].Trustee.TrusteeForm = TRUSTEE_IS_SID;
    entries[i].Trustee.TrusteeType = TRUSTEE_IS_UNKNOWN;
    entries[i].Trustee.ptstrName = reinterpret_cast<wchar_t*>(sids[i]->data());
  }
  LocalMemory<ACL> shared;
  if (SetEntriesInAclW(2, entries, current, shared.Receive()) != ERROR_SUCCESS) return false;
  return SetNamedSecurityInfoW(const_cast<wchar_t*>(path.c_str()), SE_FILE_OBJECT,
                               DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                               nullptr, shared.Get(), nullptr) == ERROR_SUCCESS;
}

}  // namespace platform
