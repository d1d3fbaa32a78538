// Started by the launcher's test: ends with 0 when its standard input holds its arguments, each followed
// by a line end, and with 1 otherwise, so the test sees what a child really received.

#include <windows.h>

#include <string>

namespace {

std::string Utf8(const wchar_t* text) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(length > 0 ? length - 1 : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), length, nullptr, nullptr);
  return utf8;
}

}  // namespace

int main() {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  std::string expected;
  for (int i = 1; i < count; ++i)
    expected += Utf8(arguments[i]) + "\n";
  std::string input;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &read, nullptr) && read > 0)
    input.append(buffer, read);
  return input == expected ? 0 : 1;
}
