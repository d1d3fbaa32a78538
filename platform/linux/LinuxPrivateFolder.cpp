#include <acl/libacl.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/acl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>
#include <type_traits>

#include "FileDescriptor.h"
#include "LinuxFiles.h"

namespace platform::linux_system {
namespace {

struct AccessListFree {
  void operator()(void* list) const { ::acl_free(list); }
};
using AccessListHandle = std::unique_ptr<std::remove_pointer_t<acl_t>, AccessListFree>;

[[noreturn]] void ThrowSystemError(const std::string& what) {
  throw std::system_error(errno, std::generic_category(), what);
}

// ".kelmora-" and twelve letters and digits from the kernel's random source.
std::string UnforeseeableName() {
  constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  unsigned char random[12];
  if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random))
    ThrowSystemError("getrandom");
  std::string name = ".kelmora-";
  for (const unsigned char byte : random)
    name += kLetters[byte % kLetters.size()];
  return name;
}

bool HasUserEntry(acl_t list, uid_t id) {
  acl_entry_t entry;
  for (int which = ACL_FIRST_ENTRY; ::acl_get_entry(list, which, &entry) == 1; which = ACL_NEXT_ENTRY) {
    acl_tag_t tag;
    if (::acl_get_tag_type(entry, &tag) != 0 || tag != ACL_USER) continue;
    void* qualifier = ::acl_get_qualifier(entry);
    const bool same = qualifier != nullptr && *static_cast<uid_t*>(qualifier) == id;
    ::acl_free(qualifier);
    if (same) return true;
  }
  return false;
}

bool AddUserEntry(acl_t* list, uid_t id) {
  if (HasUserEntry(*list, id)) return true;
  acl_entry_t entry;
  acl_permset_t rights;
  return ::acl_create_entry(list, &entry) == 0 && ::acl_set_tag_type(entry, ACL_USER) == 0 &&
         ::acl_set_qualifier(entry, &id) == 0 && ::acl_get_permset(entry, &rights) == 0 &&
         ::acl_clear_perms(rights) == 0 && ::acl_add_perm(rights, ACL_READ | ACL_WRITE | ACL_EXECUTE) == 0 &&
         ::acl_set_permset(entry, rights) == 0;
}

// Only we and the account enter the folder; what is made in it keeps the rights the parent's default list
// gives (the group of a shared backup folder reads the backups as before), with us and the account named.
void OpenTo(int folder, const std::string& path, const std::string& shown, uid_t own,
            std::optional<uid_t> account) {
  const bool another = account && *account != own;
  const std::string access =
      another ? "u::rwx,g::---,m::rwx,o::---,u:" + std::to_string(*account) + ":rwx" : "u::rwx,g::---,o::---";
  const AccessListHandle accessList(::acl_from_text(access.c_str()));
  if (!accessList || ::acl_set_fd(folder, accessList.get()) != 0) {
    // Without access lists the mode alone keeps others out, and only an account of our own gets in.
    if (another) ThrowSystemError(shown);
    return;
  }
  AccessListHandle inherited(::acl_get_file(path.c_str(), ACL_TYPE_DEFAULT));
  if (!inherited || ::acl_entries(inherited.get()) <= 0)
    inherited.reset(::acl_from_text("u::rwx,g::---,o::---"));
  acl_t list = inherited.release();
  const bool built = list != nullptr && AddUserEntry(&list, own) &&
                     (!another || AddUserEntry(&list, *account)) && ::acl_calc_mask(&list) == 0;
  inherited.reset(list);
  if (!built || ::acl_set_file(path.c_str(), ACL_TYPE_DEFAULT, inherited.get()) != 0) ThrowSystemError(shown);
}

class LinuxPrivateFolder final : public PrivateFolder {
 public:
  LinuxPrivateFolder(FileDescriptor parent, FileDescriptor folder, std::string parentPath, std::string name)
      : parent_(std::move(parent)),
        folder_(std::move(folder)),
        name_(std::move(name)),
        path_(parentPath + name_ + "/") {}

  ~LinuxPrivateFolder() override {
    if (kept_) return;
    RemoveEntries();
    // Only the folder this object made goes: another one put under its name meanwhile stays.
    struct stat named {};
    struct stat own {};
    if (::fstatat(parent_.Get(), name_.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        ::fstat(folder_.Get(), &own) == 0 && named.st_dev == own.st_dev && named.st_ino == own.st_ino) {
      ::unlinkat(parent_.Get(), name_.c_str(), AT_REMOVEDIR);
    }
  }
  LinuxPrivateFolder(const LinuxPrivateFolder&) = delete;
  LinuxPrivateFolder& operator=(const LinuxPrivateFolder&) = delete;

  const std::string& Path() const override { return path_; }
  const std::string& Name() const override { return name_; }

  MoveOutcome MoveOut(const std::string& name, const std::string& destination) override {
    if (::renameat2(folder_.Get(), name.c_str(), AT_FDCWD, destination.c_str(), RENAME_NOREPLACE) == 0)
      return MoveOutcome::Moved;
    return errno == EEXIST ? MoveOutcome::NameTaken : MoveOutcome::Failed;
  }

  void Keep() override { kept_ = true; }

  int Descriptor() const { return folder_.Get(); }

 private:
  // Unlinks whatever the folder holds; a folder in it (none of ours makes one) stays.
  void RemoveEntries() {
    DIR* dir = ::fdopendir(::fcntl(folder_.Get(), F_DUPFD_CLOEXEC, 0));
    if (dir == nullptr) return;
    std::unique_ptr<DIR, int (*)(DIR*)> guard(dir, ::closedir);
    while (const dirent* entry = ::readdir(dir)) {
      const std::string_view name = entry->d_name;
      if (name != "." && name != "..") ::unlinkat(folder_.Get(), entry->d_name, 0);
    }
  }

  FileDescriptor parent_;
  FileDescriptor folder_;
  std::string name_;
  std::string path_;
  bool kept_ = false;
};

}  // namespace

std::unique_ptr<PrivateFolder> LinuxFiles::CreatePrivateFolder(const std::string& parent,
                                                               std::optional<std::uint32_t> accountId) {
  FileDescriptor parentFolder(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!parentFolder.Valid()) ThrowSystemError(parent);
  const std::string separated = parent.ends_with('/') ? parent : parent + "/";
  for (int attempt = 0;; ++attempt) {
    const std::string name = UnforeseeableName();
    if (::mkdirat(parentFolder.Get(), name.c_str(), 0700) != 0) {
      if (errno == EEXIST && attempt < 8) continue;
      ThrowSystemError(separated + name);
    }
    FileDescriptor folder(
        ::openat(parentFolder.Get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat made {};
    // Someone may have put a folder of theirs in its place between the making and the opening.
    if (!folder.Valid() || ::fstat(folder.Get(), &made) != 0) ThrowSystemError(separated + name);
    if (made.st_uid != ::geteuid()) {
      errno = EEXIST;
      ThrowSystemError(separated + name);
    }
    // Made first, so that a folder whose rights cannot be set goes again.
    auto privateFolder =
        std::make_unique<LinuxPrivateFolder>(std::move(parentFolder), std::move(folder), separated, name);
    // The rights are set through the folder that was opened, never through its name.
    const int descriptor = privateFolder->Descriptor();
    OpenTo(descriptor, "/proc/self/fd/" + std::to_string(descriptor), privateFolder->Path(), ::geteuid(),
           accountId ? std::optional<uid_t>(static_cast<uid_t>(*accountId)) : std::nullopt);
    return privateFolder;
  }
}

}  // namespace platform::linux_system
