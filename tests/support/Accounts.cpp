#include "tests/support/Accounts.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>

namespace testsupport {
namespace fs = std::filesystem;

namespace {

void Chown(const fs::path& path, const Account& account) {
  if (::lchown(path.c_str(), account.uid, account.gid) != 0)
    throw std::system_error(errno, std::generic_category(), "lchown " + path.string());
}

}  // namespace

bool RunningAsRoot() {
  return ::geteuid() == 0;
}

Account UnusedAccount(unsigned from) {
  for (unsigned id = from; id < from + 1000; ++id) {
    if (::getpwuid(id) == nullptr && ::getgrgid(id) == nullptr) return {id, id};
  }
  throw std::runtime_error("no unused id from " + std::to_string(from));
}

Account ServerAccount() {
  static const Account account = UnusedAccount(41000);
  return account;
}

Account DesktopAccount() {
  static const Account account = UnusedAccount(ServerAccount().uid + 1);
  return account;
}

std::vector<std::string> AsAccount(const Account& account, const std::vector<std::string>& argv) {
  std::vector<std::string> result = {"setpriv", "--reuid=" + std::to_string(account.uid),
                                     "--regid=" + std::to_string(account.gid), "--clear-groups", "--"};
  result.insert(result.end(), argv.begin(), argv.end());
  return result;
}

void GiveTo(const fs::path& path, const Account& account) {
  Chown(path, account);
  if (!fs::is_directory(fs::symlink_status(path))) return;
  for (const auto& entry : fs::recursive_directory_iterator(path))
    Chown(entry.path(), account);
}

}  // namespace testsupport
