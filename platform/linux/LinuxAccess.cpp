#include <acl/libacl.h>
#include <pwd.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <memory>
#include <type_traits>
#include <vector>

#include "LinuxFiles.h"

namespace platform::linux_system {
namespace {

struct AccessListFree {
  void operator()(void* list) const { ::acl_free(list); }
};

using AccessListHandle = std::unique_ptr<std::remove_pointer_t<acl_t>, AccessListFree>;

// Sets one of the folder's POSIX access lists from its text form (as setfacl takes it, ids as numbers).
bool SetAccessList(const std::string& folder, acl_type_t type, const std::string& text) {
  const AccessListHandle list(::acl_from_text(text.c_str()));
  return list != nullptr && ::acl_set_file(folder.c_str(), type, list.get()) == 0;
}

// Whether a named entry of the list is someone other than the file's owner or owning group (an entry for
// either lets in no one new).
bool NamesSomeoneElse(acl_entry_t entry, acl_tag_t tag, const struct stat& info) {
  void* qualifier = ::acl_get_qualifier(entry);
  if (qualifier == nullptr) return true;
  const bool someoneElse = tag == ACL_USER ? *static_cast<uid_t*>(qualifier) != info.st_uid
                                           : *static_cast<gid_t*>(qualifier) != info.st_gid;
  ::acl_free(qualifier);
  return someoneElse;
}

}  // namespace

std::optional<FileExposure> LinuxFiles::Exposure(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  FileExposure exposure{(info.st_mode & S_IROTH) != 0, (info.st_mode & S_IWOTH) != 0};
  // Without access lists on its file system a file has its mode alone.
  const AccessListHandle list(::acl_get_file(path.c_str(), ACL_TYPE_ACCESS));
  if (list == nullptr) return exposure;
  bool anyoneNamed = false;
  bool namedMayRead = false;
  bool namedMayWrite = false;
  bool maskReads = true;
  bool maskWrites = true;
  acl_entry_t entry;
  for (int which = ACL_FIRST_ENTRY; ::acl_get_entry(list.get(), which, &entry) == 1; which = ACL_NEXT_ENTRY) {
    acl_tag_t tag;
    acl_permset_t rights;
    if (::acl_get_tag_type(entry, &tag) != 0 || ::acl_get_permset(entry, &rights) != 0) continue;
    const bool reads = ::acl_get_perm(rights, ACL_READ) == 1;
    const bool writes = ::acl_get_perm(rights, ACL_WRITE) == 1;
    if (tag == ACL_MASK) {
      maskReads = reads;
      maskWrites = writes;
    } else if ((tag == ACL_USER || tag == ACL_GROUP) && NamesSomeoneElse(entry, tag, info)) {
      anyoneNamed = true;
      namedMayRead = namedMayRead || reads;
      namedMayWrite = namedMayWrite || writes;
    }
  }
  // The mask bounds what every named entry grants.
  if (anyoneNamed) {
    exposure.othersMayRead = exposure.othersMayRead || (namedMayRead && maskReads);
    exposure.othersMayWrite = exposure.othersMayWrite || (namedMayWrite && maskWrites);
  }
  return exposure;
}

std::optional<FileStamp> LinuxFiles::Stamp(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return std::nullopt;
  return FileStamp{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
                   static_cast<std::int64_t>(info.st_size),
                   static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

std::optional<std::uint32_t> LinuxFiles::AccountId(const std::string& account) {
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

std::uint32_t LinuxFiles::OwnId() {
  return static_cast<std::uint32_t>(::geteuid());
}

bool LinuxFiles::ShareFolder(const std::string& folder, std::uint32_t accountId) {
  // The folder's group and everyone else get nothing; the mask lets the named account's rights count.
  const std::string access = "u::rwx,g::---,m::rwx,o::---,u:" + std::to_string(accountId) + ":rwx";
  // What the account creates belongs to it; the default list gives us the same rights on it.
  const std::string inherited =
      OwnId() == accountId ? access : access + ",u:" + std::to_string(OwnId()) + ":rwx";
  return SetAccessList(folder, ACL_TYPE_ACCESS, access) && SetAccessList(folder, ACL_TYPE_DEFAULT, inherited);
}

}  // namespace platform::linux_system
