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
constexpr std::uint16_t kGroup = 0x08;
constexpr std::uint16_t kMask = 0x10;
constexpr std::uint16_t kOther = 0x20;
constexpr std::uint32_t kNoId = 0xFFFFFFFF;
constexpr std::uint16_t kAll = 7;  // read, write, enter or run
constexpr std::uint16_t kNone = 0;
constexpr std::uint16_t kRead = 4;
constexpr std::uint16_t kWrite = 2;
constexpr std::size_t kEntrySize = 8;

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

std::uint32_t LittleEndian(const unsigned char* bytes, int count) {
  std::uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i)
    value = (value << 8) | bytes[i];
  return value;
}

std::vector<AclEntry> Decode(const std::vector<unsigned char>& bytes) {
  std::vector<AclEntry> entries;
  if (bytes.size() < 4 || LittleEndian(bytes.data(), 4) != kAclVersion) return entries;
  for (std::size_t at = 4; at + kEntrySize <= bytes.size(); at += kEntrySize) {
    entries.push_back({static_cast<std::uint16_t>(LittleEndian(&bytes[at], 2)),
                       static_cast<std::uint16_t>(LittleEndian(&bytes[at + 2], 2)),
                       LittleEndian(&bytes[at + 4], 4)});
  }
  return entries;
}

// The file's access list; empty when it has none beyond its mode.
std::vector<AclEntry> AccessList(const std::string& path) {
  const ssize_t size = ::getxattr(path.c_str(), "system.posix_acl_access", nullptr, 0);
  if (size <= 0) return {};
  std::vector<unsigned char> bytes(static_cast<std::size_t>(size));
  const ssize_t read = ::getxattr(path.c_str(), "system.posix_acl_access", bytes.data(), bytes.size());
  if (read <= 0) return {};
  bytes.resize(static_cast<std::size_t>(read));
  return Decode(bytes);
}

}  // namespace

std::optional<FileExposure> LinuxSystem::Exposure(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  FileExposure exposure{(info.st_mode & S_IROTH) != 0, (info.st_mode & S_IWOTH) != 0};
  const std::vector<AclEntry> entries = AccessList(path);
  std::uint16_t mask = kAll;
  for (const AclEntry& entry : entries)
    if (entry.tag == kMask) mask = entry.rights;
  for (const AclEntry& entry : entries) {
    // A named entry for the owner or the owning group lets in no one new.
    const bool someoneElse =
        (entry.tag == kUser && entry.id != info.st_uid) || (entry.tag == kGroup && entry.id != info.st_gid);
    if (!someoneElse) continue;
    exposure.othersMayRead = exposure.othersMayRead || (entry.rights & mask & kRead) != 0;
    exposure.othersMayWrite = exposure.othersMayWrite || (entry.rights & mask & kWrite) != 0;
  }
  return exposure;
}

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
