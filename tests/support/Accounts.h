#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

// A numeric user and group id that no account of this machine has. Tests run the private server and
// the real program under two such ids to see them as a user sees them on a stock machine (the server
// under its own account, the program under a desktop user's), without creating any system user.
struct Account {
  uid_t uid = 0;
  gid_t gid = 0;
};

// Whether this process may switch to other ids (tests that need it skip otherwise).
bool RunningAsRoot();
// The text a test skips with when it is not root.
inline constexpr const char* kNeedsRoot =
    "needs root: runs the server and the program under numeric ids of their own with setpriv";

// The first id at or after `from` that is neither a user's nor a group's in the system's databases;
// user and group get the same number.
Account UnusedAccount(unsigned from);
// The server's and the desktop user's ids in the tests: 41000 and the next unused one after it,
// unless those are taken.
Account ServerAccount();
Account DesktopAccount();

// The command line that runs argv under the account, with no supplementary groups:
// setpriv --reuid=N --regid=N --clear-groups -- argv...
std::vector<std::string> AsAccount(const Account& account, const std::vector<std::string>& argv);

// Makes the account the owner of a file or of a folder with everything in it (links themselves, never
// what they point to). Throws on failure.
void GiveTo(const std::filesystem::path& path, const Account& account);

}  // namespace testsupport
