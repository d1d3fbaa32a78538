#include <pwd.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <vector>

#include "platform/LinuxSystem.h"

namespace platform {
namespace {

// The kernel's form of a POSIX access list in the "system.posix_acl_*" attributes: a version word, then
// entries of a tag, the rights and an id, little-endian, sorted by tag and id.
constexpr std::uint32_t kAclVersion = 2;
constexpr std::uint16_t kUserObject = 0x01;
constexpr std::uint16_t kUser = 0x02;
constexpr std::uint16_t kGroupObject = 0x04;
constexpr std::uint16_t kMask = 0x10;
constexpr std::uint16_t kOther = 0x20;
constexpr std::uint32_t kNoId = 0xFFFFFFFF;
constexpr std::uint16_t kAll = 7;  // read, write, enter or run
constexpr std::uint16_t kNone = 0;

struct AclEntry {
  std::uint16_t tag;
  std::uint16_t rights;
  std::uint32_t id;
};

void PutLittleEndian(std::vector<unsigned char>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i)
    out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

std::vector<unsigned char> Encode(std::vector<AclEntry> entries) {
  std::sort(entries.begin(), entries.end(), [](const AclEntry& a, const AclEntry& b) {
    return a.tag != b.tag ? a.tag < b.tag : a.id < b.id;
  });
  std::vector<unsigned char> out;
  PutLittleEndian(out, kAclVersion, 4);
  for (const AclEntry& entry : entries) {
    PutLittleEndian(out, entry.tag, 2);
    PutLittleEndian(out, entry.rights, 2);
    PutLittleEndian(out, entry.id, 4);
  }
  return out;
}

}  // namespace

std::optional<FileStamp> LinuxSystem::Stamp(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return std::nullopt;
  return FileStamp{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
                   static_cast<std::int64_t>(info.st_size),
                   static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

std::optional<std::uint32_t> LinuxSystem::AccountId(const std::string& account) {
  if (account.empty()) return std::nullopt;
  std::uint32_t number = 0;
  const auto [end, error] = std::from_chars(account.data(), account.data() + account.size(), number);
  if (error == std::errc() && end == account.data() + account.size()) return number;
  std::vector<char> buffer(16384);
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (::getpwnam_r(account.c_str(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(found->pw_uid);
}

std::uint32_t LinuxSystem::OwnId() {
  return static_cast<std::uint32_t>(::geteuid());
}

bool LinuxSystem::ShareFolder(const std::string& folder, std::uint32_t accountId) {
  std::vector<AclEntry> entries = {{kUserObject, kAll, kNoId},
                                   {kGroupObject, kNone, kNoId},
                                   {kMask, kAll, kNoId},
                                   {kOther, kNone, kNoId},
                                   {kUser, kAll, accountId}};
  const std::vector<unsigned char> access = Encode(entries);
  // What the account creates belongs to it; the default list gives us the same rights on it.
  if (OwnId() != accountId) entries.push_back({kUser, kAll, OwnId()});
  const std::vector<unsigned char> inherited = Encode(entries);
  return ::setxattr(folder.c_str(), "system.posix_acl_access", access.data(), access.size(), 0) == 0 &&
         ::setxattr(folder.c_str(), "system.posix_acl_default", inherited.data(), inherited.size(), 0) == 0;
}

}  // namespace platform
