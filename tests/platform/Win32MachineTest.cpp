// The Windows answers of the seam, run under Wine: what the wide API makes of the program's UTF-8 names,
// the copy's replace, the folder's access list and lock, the Run key, libraries beside the program, the
// console's control events, the web client.

#include <windows.h>
// After windows.h, which it needs.
#include <aclapi.h>
#include <gtest/gtest.h>
#include <sddl.h>

#include <cstring>
#include <filesystem>

#include "platform/LocalPath.h"
#include "platform/Machine.h"
#include "platform/MachineSystem.h"
#include "platform/RunKey.h"
#include "platform/SharedLibrary.h"
#include "platform/Text.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempFolder.h"

namespace testsupport {
namespace {
namespace fs = std::filesystem;

platform::MachineSystem machine;

std::string Utf8Path(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// "others may read, others may write", or "none" when there is no such file.
std::string Exposure(const std::string& path) {
  const std::optional<platform::FileExposure> exposure = machine.Exposure(path);
  if (!exposure) return "none";
  return std::string(exposure->othersMayRead ? "read" : "-") + "," +
         (exposure->othersMayWrite ? "write" : "-");
}

std::vector<std::string> Names(const std::vector<std::string>& paths) {
  std::vector<std::string> names;
  for (const std::string& path : paths)
    names.push_back(path.substr(path.find_last_of('/') + 1));
  std::sort(names.begin(), names.end());
  return names;
}

TEST(Win32Files, NamesWithAccentsAreTheSameFilesThroughEveryCall) {
  TempFolder temp;
  const std::string folder = Utf8Path(temp.Path()) + "/Cópias de segurança";
  ASSERT_TRUE(machine.CreateFolder(folder));
  EXPECT_FALSE(machine.CreateFolder(folder)) << "an existing folder is not made again";
  EXPECT_TRUE(machine.IsFolder(folder));
  ASSERT_TRUE(machine.CreateFolder(folder + "/sub"));

  struct Case {
    const char* name;
    const char* firstBytes;
    const char* secondBytes;
  } cases[] = {{"backup.txt", "Backup iniciado\r\n",
                "Backup conclu\xED"
                "do.\r\n"},
               {"ação_20240229_2359.gbk", "", "x"},
               {"日本.gbk", "\x00\xFF", "\r\n"}};
  for (const Case& c : cases) {
    const std::string path = folder + "/" + c.name;
    for (const char* bytes : {c.firstBytes, c.secondBytes}) {
      auto file = machine.OpenForAppend(path);
      file->Write(bytes);
      file->Close();
    }
    EXPECT_EQ(std::string(c.firstBytes) + c.secondBytes, machine.ReadFile(path, 1 << 20)) << c.name;
    EXPECT_EQ((std::string(c.firstBytes) + c.secondBytes).substr(0, 1), machine.ReadFile(path, 1)) << c.name;
    EXPECT_TRUE(machine.LastWriteTime(path).has_value()) << c.name;
    EXPECT_FALSE(machine.IsFolder(path)) << c.name;
  }
  EXPECT_EQ((std::vector<std::string>{"ação_20240229_2359.gbk", "backup.txt", "日本.gbk"}),
            Names(machine.ListFolder(folder)))
      << "every file by its UTF-8 name, the folder left out";

  const std::string log = folder + "/backup.txt";
  const auto before = machine.Stamp(log);
  machine.OpenForAppend(log)->Write("more");
  EXPECT_NE(before, machine.Stamp(log)) << "a file grown is another version";
  EXPECT_TRUE(machine.RemoveFile(log));
  EXPECT_FALSE(machine.RemoveFile(log));
  EXPECT_FALSE(machine.Stamp(log).has_value());
  EXPECT_FALSE(machine.ReadFile(log, 10).has_value());
  EXPECT_FALSE(machine.ReadFile(folder + "/sub", 10).has_value()) << "a folder is not a file";
  EXPECT_THROW(machine.OpenForAppend(folder + "/sub"), std::system_error);
  EXPECT_THROW(machine.OpenForAppend(folder + "/missing/backup.txt"), std::system_error);
}

TEST(Win32Files, TheCopyReplacesTheOlderOneWholeAndLeavesNoTemporaryFile) {
  TempFolder temp;
  const std::string folder = Utf8Path(temp.Path());
  std::string content(3 * 1024 * 1024 + 17, '\0');
  for (std::size_t i = 0; i < content.size(); ++i)
    content[i] = static_cast<char>(i * 131 + 7);
  temp.Write("source.gbk", content);
  ASSERT_TRUE(machine.CreateFolder(folder + "/Cópia"));
  temp.Write("Cópia/source.gbk", "an older copy, longer than nothing");

  machine.CopyFile(folder + "/source.gbk", folder + "/Cópia/source.gbk");
  EXPECT_EQ(content, ReadAll(temp.Path() / u8"Cópia" / "source.gbk"));
  EXPECT_EQ((std::vector<std::string>{"source.gbk"}), Names(machine.ListFolder(folder + "/Cópia")));

  try {
    machine.CopyFile(folder + "/missing.gbk", folder + "/Cópia/missing.gbk");
    ADD_FAILURE() << "a missing source must throw";
  } catch (const std::system_error& error) {
    EXPECT_EQ(2, error.code().value()) << "ERROR_FILE_NOT_FOUND, as the job's text shows it";
  }
  EXPECT_THROW(machine.CopyFile(folder + "/source.gbk", folder + "/no such folder/source.gbk"),
               std::system_error);
  EXPECT_EQ((std::vector<std::string>{"source.gbk"}), Names(machine.ListFolder(folder + "/Cópia")))
      << "a failed copy leaves nothing";
}

// The copy folder comes from a settings row that Linux machines write too.
TEST(Win32Files, OnlyADrivesOrASharesPathIsOnePlaceOnThisMachine) {
  const std::pair<const char*, bool> cases[] = {{"D:\\Backup\\", true},
                                                {"d:/backup/", true},
                                                {"\\\\server\\share\\", true},
                                                {"//server/share/", true},
                                                {"/home/kelmora/copias/", false},
                                                {"\\Backup\\", false},
                                                {"D:Backup\\", false},
                                                {"Backup\\", false},
                                                {"\\\\\\x", false},
                                                {"", false}};
  for (const auto& [path, absolute] : cases)
    EXPECT_EQ(platform::IsAbsoluteLocalPath(path), absolute) << path;
}

// Wine keeps no access list of a file's own: it answers with one made from the Unix mode (the owner,
// SYSTEM, and Everyone for the "other" bits) and maps a list it is given back onto the mode. So what
// Windows alone shows, an account's own entry and inheritance, is not asserted here; the entries for
// everyone are.
TEST(Win32Access, AFolderOfOursLetsNoOneElseInAndAFileOpenToEveryoneIsSeen) {
  TempFolder temp;
  const std::string folder = Utf8Path(temp.Path()) + "/backup";
  ASSERT_TRUE(machine.CreateFolder(folder));
  EXPECT_EQ("-,-", Exposure(folder));
  const std::optional<std::uint32_t> users = machine.AccountId("S-1-5-32-545");
  ASSERT_TRUE(users.has_value());
  EXPECT_TRUE(machine.ShareFolder(folder, *users));
  EXPECT_FALSE(machine.ShareFolder(folder, 4000)) << "an id no look-up gave";
  EXPECT_EQ("none", Exposure(folder + "/missing.gbk"));

  const struct {
    const char* name;
    const wchar_t* descriptor;  // SDDL; null: no access list at all
    const char* exposure;
  } cases[] = {{"read.ini", L"D:P(A;;FA;;;SY)(A;;FR;;;WD)", "read,-"}, {"open.ini", nullptr, "read,write"}};
  for (const auto& c : cases) {
    temp.Write(c.name, "[Servico]");
    const std::wstring path = (temp.Path() / c.name).wstring();
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL list = nullptr;
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    if (c.descriptor != nullptr) {
      ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(c.descriptor, SDDL_REVISION_1,
                                                                       &descriptor, nullptr));
      GetSecurityDescriptorDacl(descriptor, &present, &list, &defaulted);
    }
    ASSERT_EQ(ERROR_SUCCESS,
              SetNamedSecurityInfoW(const_cast<wchar_t*>(path.c_str()), SE_FILE_OBJECT,
                                    DACL_SECURITY_INFORMATION, nullptr, nullptr, list, nullptr))
        << c.name;
    if (descriptor != nullptr) LocalFree(descriptor);
    EXPECT_EQ(c.exposure, Exposure(Utf8Path(temp.Path() / c.name))) << c.name;
  }
}

TEST(Win32Access, AccountsAreFoundByNameOrSidAndUnknownOnesAreNot) {
  const struct {
    const char* account;
    bool found;
  } cases[] = {
      {"S-1-5-18", true}, {"SYSTEM", true}, {"no such account 7", false}, {"", false}, {"S-1-x", false}};
  for (const auto& c : cases)
    EXPECT_EQ(c.found, machine.AccountId(c.account).has_value()) << c.account;
  EXPECT_EQ(machine.AccountId("S-1-5-18"), machine.AccountId("SYSTEM"))
      << "a name and its SID are one account";
  EXPECT_EQ(machine.OwnId(), machine.OwnId());
}

TEST(Win32RunKey, ValuesAreWrittenReadAndDeletedUnderTheMachineRunKey) {
  const auto key = platform::MachineRunKey();
  const struct {
    const char* name;
    const char* data;
  } cases[] = {{"Backup Kelmora", "C:\\Kelmora\\backup.exe"},
               {"Cópia ção", "D:\\Programas\\Cópia\\backup.exe"}};
  for (const auto& c : cases) {
    ASSERT_TRUE(key->WriteValue(c.name, c.data, /*once=*/false)) << c.name;
    EXPECT_EQ(c.data, key->ReadValue(c.name)) << c.name;
    // The stored form: a string value with its terminating zero, as regedit shows it.
    wchar_t stored[64] = {};
    DWORD type = 0;
    DWORD bytes = sizeof stored;
    HKEY run = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0,
                            KEY_READ, &run));
    const std::wstring name = fs::path(std::u8string(c.name, c.name + std::strlen(c.name))).wstring();
    EXPECT_EQ(ERROR_SUCCESS,
              RegQueryValueExW(run, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(stored), &bytes));
    RegCloseKey(run);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ((std::wcslen(stored) + 1) * sizeof(wchar_t), bytes);
    EXPECT_TRUE(key->DeleteValue(c.name));
    EXPECT_EQ("", key->ReadValue(c.name)) << "a deleted value reads empty";
    EXPECT_TRUE(key->DeleteValue(c.name)) << "a missing value is no error";
  }
  ASSERT_TRUE(key->WriteValue("Kelmora Backup", "", /*once=*/false));
  EXPECT_EQ("", key->ReadValue("Kelmora Backup")) << "an empty text";
  EXPECT_FALSE(machine.ReadAutostartEntry("Kelmora Backup.desktop").has_value())
      << "an empty value counts as absent";
  EXPECT_TRUE(key->DeleteValue("Kelmora Backup"));

  ASSERT_TRUE(machine.WriteAutostartEntry("Backup Kelmora.desktop", "C:\\Kelmora\\backup.exe"));
  EXPECT_EQ("C:\\Kelmora\\backup.exe", key->ReadValue("Backup Kelmora"))
      << "an entry is the value of its name";
  EXPECT_FALSE(machine.WriteAutostartEntry("Backup Kelmora", "x")) << "not an entry's file name";
  machine.RemoveAutostartEntry("Backup Kelmora.desktop");
  EXPECT_EQ("", key->ReadValue("Backup Kelmora"));

  ASSERT_TRUE(key->WriteValue("Kelmora uma vez", "C:\\x.exe", /*once=*/true));
  HKEY once = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", 0,
                          KEY_ALL_ACCESS, &once));
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueW(once, L"Kelmora uma vez")) << "the value went to the RunOnce key";
  RegCloseKey(once);
  EXPECT_EQ("", key->ReadValue("Kelmora uma vez")) << "and not to the Run key";
}

TEST(Win32Libraries, ABareNameIsTakenFromBesideTheProgramFirst) {
  // The build put the double's variant without the services interface beside this program as fbclient.dll.
  platform::SharedLibrary beside(machine, platform::ClientLibraryFileNames().front());
  ASSERT_TRUE(beside.Opened()) << machine.LibraryError();
  EXPECT_NE(nullptr, beside.LookUp("isc_attach_database"));
  EXPECT_EQ(nullptr, beside.LookUp("isc_service_attach")) << "the copy beside the program, not another";
  EXPECT_EQ(nullptr, beside.LookUp("no_such_entry"));

  EXPECT_EQ((std::vector<std::string>{"fbclient.dll", "gds32.dll"}), platform::ClientLibraryFileNames());
  EXPECT_EQ(nullptr, machine.OpenLibrary("no-such-library.dll"));
  EXPECT_FALSE(machine.LibraryError().empty());
  EXPECT_NE(nullptr, machine.OpenLibrary("kernel32.dll"))
      << "the system's search order after the program's folder";
}

TEST(Win32Process, TheProgramsPathAndTheEnvironmentAreUtf8) {
  const std::string path = machine.ExecutablePath();
  EXPECT_TRUE(path.ends_with("\\test_platform.exe")) << path;
  EXPECT_EQ(std::string::npos, path.find('/')) << "with the system's own separators";

  const struct {
    const char* name;
    const char* value;
    const char* runtimeBytes;  // what getenv gives, in the system's code page 1252
  } cases[] = {{"KELMORA_TEST_PLAIN", "SYSDBA", "SYSDBA"},
               {"KELMORA_TEST_ACCENT", "São Paulo ção", "S\xE3o Paulo \xE7\xE3o"}};
  for (const auto& c : cases) {
    ASSERT_TRUE(machine.SetVariable(c.name, c.value));
    EXPECT_EQ(c.value, machine.Variable(c.name));
    EXPECT_STREQ(c.runtimeBytes, std::getenv(c.name))
        << "the C runtime's copy, which the client library reads";
    ASSERT_TRUE(machine.UnsetVariable(c.name));
    EXPECT_FALSE(machine.Variable(c.name).has_value());
    EXPECT_EQ(nullptr, std::getenv(c.name));
  }
  EXPECT_FALSE(machine.SetVariable("A=B", "x"));
}

TEST(Win32Launcher, ProgramsAreFoundAlongTheSystemsSearchOrder) {
  EXPECT_TRUE(platform::AsciiLower(machine.ResolveProgram("cmd")).ends_with("\\cmd.exe"));
  EXPECT_EQ("", machine.ResolveProgram("no-such-program-7"));
  EXPECT_EQ("", machine.ResolveProgram("C:\\no\\such.exe"));
  EXPECT_FALSE(machine.LaunchDetached("C:\\no\\such.exe"));
}

// Exit codes of the child beside this program, which asks for the lock of the folder it is given.
int LockInAnotherProcess(const std::string& folder) {
  const std::string path = machine.ExecutablePath();
  const std::wstring child =
      fs::path(std::u8string(path.begin(), path.end())).parent_path() / "platform_lock_child.exe";
  std::wstring line =
      L"\"" + child + L"\" \"" + fs::path(std::u8string(folder.begin(), folder.end())).wstring() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(child.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process))
    return -1;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

TEST(Win32FolderLocks, OneHolderAtATimeInThisProcessAndInAnother) {
  TempFolder temp;
  const std::string folder = Utf8Path(temp.Path()) + "/Cópias";
  ASSERT_TRUE(machine.CreateFolder(folder));
  EXPECT_EQ(0, LockInAnotherProcess(folder)) << "free: the other process takes it, and its end frees it";
  {
    platform::FolderLockAttempt first = machine.TryLockFolder(folder);
    ASSERT_EQ(platform::FolderLockAttempt::Outcome::Taken, first.outcome) << first.error;
    EXPECT_EQ(platform::FolderLockAttempt::Outcome::HeldByAnother,
              machine.TryLockFolder(folder + "/").outcome);
    EXPECT_EQ(2, LockInAnotherProcess(folder)) << "held here: the other process does not get it";
  }
  EXPECT_EQ(0, LockInAnotherProcess(folder)) << "freed when the lock went";
  EXPECT_EQ(platform::FolderLockAttempt::Outcome::Taken, machine.TryLockFolder(folder).outcome);
  const platform::FolderLockAttempt missing = machine.TryLockFolder(folder + "/no such folder");
  EXPECT_EQ(platform::FolderLockAttempt::Outcome::Failed, missing.outcome);
  EXPECT_FALSE(missing.error.empty());
}

TEST(Win32TerminationSignals, ConsoleControlEventsArriveAsTheSignalsTheyStandFor) {
  platform::BlockTerminationSignals();
  const std::unique_ptr<platform::TerminationSignals> signals = platform::MachineTerminationSignals();
  ASSERT_NE(nullptr, signals);
  EXPECT_GE(signals->Descriptor(), 0);
  EXPECT_TRUE(signals->TakeArrived().empty());
  // Wine runs this program without a console of its own; one is made so that Ctrl+C can be sent to it.
  if (GetConsoleWindow() == nullptr && !AllocConsole()) GTEST_SKIP() << "no console to send Ctrl+C to";
  ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
  std::vector<int> arrived;
  for (int wait = 0; wait < 500 && arrived.empty(); ++wait) {
    Sleep(10);
    arrived = signals->TakeArrived();
  }
  EXPECT_EQ((std::vector<int>{2}), arrived) << "Ctrl+C is INT, taken once, and the program went on";
  EXPECT_TRUE(signals->TakeArrived().empty());
  platform::RestoreTerminationSignals();
}

TEST(Win32HttpClient, AFailedCallSaysWhyWithoutTheAddress) {
  const struct {
    const char* url;
  } cases[] = {{"ftp://monitor.example/k3y-s3cret"}, {"http://127.0.0.1:1/k3y-s3cret"}};
  for (const auto& c : cases) {
    const platform::HttpReply reply = machine.Get(c.url, std::chrono::seconds(5));
    EXPECT_EQ(0, reply.status) << c.url;
    EXPECT_FALSE(reply.error.empty()) << c.url;
    EXPECT_EQ(std::string::npos, reply.error.find("s3cret")) << reply.error;
  }
}

}  // namespace
}  // namespace testsupport
