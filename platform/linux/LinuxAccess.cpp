#include <acl/libacl.h>
#include <pwd.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <memory>
#include <optional>
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

// Whether the account may do what `needed` asks (permission bits as the owner's, 0700) on the entry: as
// its owner, through an entry of its own in the access list (bounded by the mask), or as anyone else. The
// groups it may belong to are not looked at.
bool AccountMay(const std::string& path, uid_t account, mode_t needed) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return false;
  if (info.st_uid == account) return (info.st_mode & needed) == needed;
  const AccessListHandle list(::acl_get_file(path.c_str(), ACL_TYPE_ACCESS));
  std::optional<bool> named;
  bool maskAllows = true;
  acl_entry_t entry;
  for (int which = ACL_FIRST_ENTRY; list != nullptr && ::acl_get_entry(list.get(), which, &entry) == 1;
       which = ACL_NEXT_ENTRY) {
    acl_tag_t tag;
    acl_permset_t rights;
    if (::acl_get_tag_type(entry, &tag) != 0 || ::acl_get_permset(entry, &rights) != 0) continue;
    const bool allows = ((needed & S_IRUSR) == 0 || ::acl_get_perm(rights, ACL_READ) == 1) &&
                        ((needed & S_IWUSR) == 0 || ::acl_get_perm(rights, ACL_WRITE) == 1) &&
                        ((needed & S_IXUSR) == 0 || ::acl_get_perm(rights, ACL_EXECUTE) == 1);
    if (tag == ACL_MASK) maskAllows = allows;
    if (tag != ACL_USER) continue;
    void* qualifier = ::acl_get_qualifier(entry);
    if (qualifier != nullptr && *static_cast<uid_t*>(qualifier) == account) named = allows;
    if (qualifier != nullptr) ::acl_free(qualifier);
  }
  if (named) return *named && maskAllows;
  return (info.st_mode & (needed >> 6)) == (needed >> 6);
}

}  // namespace

bool LinuxFiles::AccountMayWrite(const std::string& folder, std::uint32_t accountId) {
  const std::unique_ptr<char, void (*)(void*)> real(::realpath(folder.c_str(), nullptr), std::free);
  if (real == nullptr) return false;
  const std::string path = real.get();
  // Every folder on the way must let the account pass.
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    if (!AccountMay(path.substr(0, slash), accountId, S_IXUSR)) return false;
  }
  return AccountMay("/", accountId, S_IXUSR) && AccountMay(path, accountId, S_IWUSR | S_IXUSR);
}

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

bool LinuxFiles::OthersMayWriteIn(const std::string& folder, const std::vector<std::uint32_t>& accounts) {
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0) return true;
  const auto among = [&](uid_t id) {
    return id == 0 ||
           std::find(accounts.begin(), accounts.end(), static_cast<std::uint32_t>(id)) != accounts.end();
  };
  if (!among(info.st_uid)) return true;
  // A folder's group may have anyone in it: its write right counts as others'.
  const AccessListHandle list(::acl_get_file(folder.c_str(), ACL_TYPE_ACCESS));
  if (list == nullptr) return (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
  bool maskWrites = true;
  bool namedWrite = false;
  bool groupOrOthersWrite = false;
  acl_entry_t entry;
  for (int which = ACL_FIRST_ENTRY; ::acl_get_entry(list.get(), which, &entry) == 1; which = ACL_NEXT_ENTRY) {
    acl_tag_t tag;
    acl_permset_t rights;
    if (::acl_get_tag_type(entry, &tag) != 0 || ::acl_get_permset(entry, &rights) != 0) return true;
    const bool writes = ::acl_get_perm(rights, ACL_WRITE) == 1;
    if (tag == ACL_MASK) {
      maskWrites = writes;
    } else if (tag == ACL_OTHER) {
      groupOrOthersWrite = groupOrOthersWrite || writes;
    } else if (tag == ACL_GROUP_OBJ || tag == ACL_GROUP) {
      namedWrite = namedWrite || writes;
    } else if (tag == ACL_USER && writes) {
      void* qualifier = ::acl_get_qualifier(entry);
      const bool someoneElse = qualifier == nullptr || !among(*static_cast<uid_t*>(qualifier));
      ::acl_free(qualifier);
      namedWrite = namedWrite || someoneElse;
    }
  }
  // The mask bounds every entry but the owner's and the others'.
  return groupOrOthersWrite || (namedWrite && maskWrites);
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
