// Started by the folder lock's test as a second process: asks for the lock of the folder its argument
// names and ends with 0 when it got it, 2 when another holds it, 1 when it could not ask.

#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/Machine.h"

namespace {

// The argument as the program's UTF-8 names have it (main's narrow arguments are in the code page).
std::string Utf8Argument(int index) {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments == nullptr || index >= count) return {};
  const int length = WideCharToMultiByte(CP_UTF8, 0, arguments[index], -1, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(length > 0 ? length - 1 : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, arguments[index], -1, text.data(), length, nullptr, nullptr);
  LocalFree(arguments);
  return text;
}

}  // namespace

int main() {
  const platform::FolderLockAttempt attempt = platform::MachineFolderLocks()->TryLockFolder(Utf8Argument(1));
  switch (attempt.outcome) {
    case platform::FolderLockAttempt::Outcome::Taken:
      return 0;
    case platform::FolderLockAttempt::Outcome::HeldByAnother:
      return 2;
    case platform::FolderLockAttempt::Outcome::Failed:
      break;
  }
  std::fprintf(stderr, "%s\n", attempt.error.c_str());
  return 1;
}
