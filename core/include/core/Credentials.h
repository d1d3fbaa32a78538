#pragma once

// The user names and passwords the program attaches with, set when the program is installed rather than
// when it is built: a file "credenciais" that nobody but its owner and the members of its group may read
// (the package's is /etc/kelmora-backup/credenciais, written by `dpkg-reconfigure kelmora-backup`):
//
//   [Servico]
//   ; the services manager, which writes the backup
//   Usuario=SYSDBA
//   Senha=the password
//   [Banco]
//   ; the application database, whose settings row is read
//   Usuario=
//   Senha=
//
// A value is everything after the first "=" of its line, blanks, "=", ";" and "#" included; a line whose
// first character other than a blank is ";" or "#" is a comment, and keys before any section belong to
// [Servico]. Sections and keys are read in any letter case. The file may be UTF-8 or code page 1252 (as
// DecodeFileText tells them apart); the server gets its texts in UTF-8, as a Linux client sends what is
// typed at it. A pair counts when its user name or its password is given, an empty user name being SYSDBA;
// when only one pair counts it serves both. With no file, or with no pair in it, the program attaches as
// it was built to (SYSDBA and the compiled-in passwords), byte for byte.

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/ServerLogin.h"
#include "platform/System.h"

namespace core {

struct Credentials {
  LoginChoice service;   // for the services manager
  LoginChoice database;  // for the application database
};

struct CredentialsRead {
  Credentials credentials;
  // Empty when there is no file or it was read. Otherwise why it was refused (UTF-8, naming the file, never
  // a value from it): nothing may then be sent to the server.
  std::string problem;
};

// A job that finds the credentials file refused ends before it sends anything; what() is the problem in
// code page 1252, as the job's other errors are.
class ECredentialsRefused : public std::runtime_error {
 public:
  explicit ECredentialsRefused(const std::string& cp1252Problem) : std::runtime_error(cp1252Problem) {}
};

// Where the credentials are: the file systemd handed the service in $CREDENTIALS_DIRECTORY (LoadCredential=),
// otherwise "credenciais" in the program folder (a link to /etc/kelmora-backup in the package).
std::string CredentialsPath(const std::string& programFolder, platform::Files& files,
                            platform::Environment& environment);

// Reads and checks the credentials file. A file that users other than its owner and its group's members may
// read or write is refused, and so is one that cannot be read or is larger than any credentials file.
CredentialsRead ReadCredentials(const std::string& programFolder, platform::Files& files,
                                platform::Environment& environment);

// The pairs of a file's bytes, as ReadCredentials takes them once the file has passed its checks.
Credentials ParseCredentials(std::string_view bytes);

}  // namespace core
