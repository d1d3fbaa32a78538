#include "Win32Files.h"

#include <windows.h>

#include <algorithm>
#include <random>
#include <system_error>

#include "Wide.h"
#include "platform/Machine.h"

// windows.h came after the class's header here: its CopyFile macro would rename the member defined below.
#undef CopyFile

namespace platform {
namespace {

using win32::ToWide;
using win32::UniqueHandle;

[[noreturn]] void ThrowLastError(const std::string& what, DWORD code = GetLastError()) {
  throw std::system_error(static_cast<int>(code), std::system_category(), what);
}

std::string FolderOf(const std::string& path) {
  const std::size_t separator = path.find_last_of("/\\");
  return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

bool WriteAll(HANDLE file, const char* data, std::size_t size) {
  while (size > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

constexpr const char* kTemporaryPrefix = ".backup-copy-";

// A name the program made and no one else can guess, so that nothing waits at it.
std::string TemporaryCopyName(const std::string& destination) {
  static thread_local std::mt19937_64 generator{std::random_device{}()};
  return FolderOf(destination) + kTemporaryPrefix + std::to_string(generator());
}

void CopyContents(HANDLE in, HANDLE out, std::int64_t length) {
  static thread_local std::vector<char> buffer(1 << 20);
  std::int64_t done = 0;
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(in, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr))
      ThrowLastError("read");
    if (read == 0) break;
    if (!WriteAll(out, buffer.data(), read)) ThrowLastError("write");
    done += read;
  }
  if (done != length) ThrowLastError("the source changed while it was copied", ERROR_FILE_INVALID);
}

class Win32AppendFile final : public AppendFile {
 public:
  explicit Win32AppendFile(UniqueHandle file) : file_(std::move(file)) {}

  void Write(std::string_view bytes) override {
    if (!file_.Valid()) ThrowLastError("write", ERROR_INVALID_HANDLE);
    if (!WriteAll(file_.Get(), bytes.data(), bytes.size())) ThrowLastError("write");
  }

  void Close() override {
    if (!file_.Close()) ThrowLastError("close");
  }

 private:
  UniqueHandle file_;
};

// Held open without delete sharing while it is written, so that another job's clean-up cannot remove it;
// gone when the object goes unless it was completed.
class Win32FileBeingWritten final : public FileBeingWritten {
 public:
  Win32FileBeingWritten(UniqueHandle file, std::string path)
      : file_(std::move(file)), path_(std::move(path)) {}
  ~Win32FileBeingWritten() override {
    if (file_.Valid() && file_.Close()) DeleteFileW(ToWide(path_).c_str());
  }
  Win32FileBeingWritten(const Win32FileBeingWritten&) = delete;
  Win32FileBeingWritten& operator=(const Win32FileBeingWritten&) = delete;

  void Write(std::string_view bytes) override {
    if (!file_.Valid()) ThrowLastError(path_, ERROR_INVALID_HANDLE);
    if (!WriteAll(file_.Get(), bytes.data(), bytes.size())) ThrowLastError(path_);
  }

  void Complete(const std::string& finalPath) override {
    if (!FlushFileBuffers(file_.Get())) ThrowLastError(path_);
    // Renamed through the handle, still held, so that no clean-up takes it first.
    wchar_t full[MAX_PATH * 4];
    const DWORD length = GetFullPathNameW(ToWide(finalPath).c_str(), MAX_PATH * 4, full, nullptr);
    if (length == 0 || length >= MAX_PATH * 4) ThrowLastError(finalPath);
    std::vector<unsigned char> request(sizeof(FILE_RENAME_INFO) + length * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(request.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = length * sizeof(wchar_t);
    std::copy_n(full, length, rename->FileName);
    if (!SetFileInformationByHandle(file_.Get(), FileRenameInfo, rename, static_cast<DWORD>(request.size())))
      ThrowLastError(finalPath);
    if (!file_.Close()) ThrowLastError(finalPath);
  }

 private:
  UniqueHandle file_;
  std::string path_;
};

class Win32FileBeingRead final : public FileBeingRead {
 public:
  Win32FileBeingRead(UniqueHandle file, std::string path) : file_(std::move(file)), path_(std::move(path)) {}

  std::size_t Read(char* buffer, std::size_t size) override {
    DWORD read = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (!::ReadFile(file_.Get(), buffer, chunk, &read, nullptr)) ThrowLastError(path_);
    return read;
  }

 private:
  UniqueHandle file_;
  std::string path_;
};

}  // namespace

std::unique_ptr<FileBeingWritten> win32::Win32Files::CreateFileBeingWritten(const std::string& path) {
  UniqueHandle file(CreateFileW(ToWide(path).c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.Valid()) ThrowLastError(path);
  return std::make_unique<Win32FileBeingWritten>(std::move(file), path);
}

bool win32::Win32Files::RemoveUnlessBeingWritten(const std::string& path) {
  // A file being written is open without delete sharing: deleting it fails. A link goes itself.
  return DeleteFileW(ToWide(path).c_str()) != 0;
}

std::unique_ptr<FileBeingRead> win32::Win32Files::OpenForReading(const std::string& path) {
  UniqueHandle file(CreateFileW(ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.Valid()) ThrowLastError(path);
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file.Get(), &info)) ThrowLastError(path);
  if ((info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
      GetFileType(file.Get()) != FILE_TYPE_DISK)
    ThrowLastError(path, ERROR_CANT_RESOLVE_FILENAME);
  return std::make_unique<Win32FileBeingRead>(std::move(file), path);
}

bool win32::Win32Files::IsFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(ToWide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::unique_ptr<AppendFile> win32::Win32Files::OpenForAppend(const std::string& path) {
  // The link itself is opened, never followed, and then refused: the log cannot be sent elsewhere.
  UniqueHandle file(CreateFileW(ToWide(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                nullptr));
  if (!file.Valid()) ThrowLastError(path);
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file.Get(), &info)) ThrowLastError(path);
  if ((info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0)
    ThrowLastError(path, ERROR_CANT_RESOLVE_FILENAME);
  return std::make_unique<Win32AppendFile>(std::move(file));
}

std::optional<std::string> win32::Win32Files::ReadFile(const std::string& path, std::size_t maxBytes) {
  UniqueHandle file(CreateFileW(ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return std::nullopt;
  // A pipe or a device in the file's place must not hang the program.
  if (GetFileType(file.Get()) != FILE_TYPE_DISK) return std::nullopt;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.Get(), &size)) return std::nullopt;
  std::string contents(std::min<std::size_t>(static_cast<std::size_t>(size.QuadPart), maxBytes), '\0');
  std::size_t done = 0;
  while (done < contents.size()) {
    DWORD read = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(contents.size() - done, 1u << 30));
    if (!::ReadFile(file.Get(), contents.data() + done, chunk, &read, nullptr)) return std::nullopt;
    if (read == 0) break;
    done += read;
  }
  contents.resize(done);
  return contents;
}

void win32::Win32Files::CopyFile(const std::string& source, const std::string& destination) {
  // Copies cut off before they ended (a killed job, a power cut) left their temporary files here. One that
  // another copy is writing now is open without sharing, so it cannot be deleted and stays.
  const std::string folder = FolderOf(destination);
  for (const std::string& entry :
       ListFolder(folder.empty() ? std::string(".") : folder.substr(0, folder.size() - 1))) {
    const std::string name = entry.substr(entry.find_last_of("/\\") + 1);
    if (name.starts_with(kTemporaryPrefix)) DeleteFileW(ToWide(entry).c_str());
  }
  // No one may write the source while it is copied, as the old copy opened it.
  UniqueHandle in(CreateFileW(ToWide(source).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!in.Valid()) ThrowLastError(source);
  LARGE_INTEGER length{};
  if (!GetFileSizeEx(in.Get(), &length)) ThrowLastError(source);
  const std::wstring temporary = ToWide(TemporaryCopyName(destination));
  UniqueHandle out(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!out.Valid()) ThrowLastError(destination);
  try {
    CopyContents(in.Get(), out.Get(), length.QuadPart);
    // On the disk before its name says it is a whole backup, so a power cut leaves no empty copy.
    if (!FlushFileBuffers(out.Get())) ThrowLastError(destination);
    if (!out.Close()) ThrowLastError(destination);
    if (!MoveFileExW(temporary.c_str(), ToWide(destination).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      ThrowLastError(destination);
  } catch (...) {
    out.Close();
    DeleteFileW(temporary.c_str());
    throw;
  }
}

std::vector<std::string> win32::Win32Files::ListFolder(const std::string& folder) {
  std::vector<std::string> list;
  WIN32_FIND_DATAW entry{};
  HANDLE search = FindFirstFileExW(ToWide(folder + "/*").c_str(), FindExInfoBasic, &entry,
                                   FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE) return list;
  do {
    // Folders are skipped as the Linux side skips them; a link to a folder is a folder here too.
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
      list.push_back(folder + "/" + win32::ToUtf8(entry.cFileName));
  } while (FindNextFileW(search, &entry));
  FindClose(search);
  return list;
}

std::optional<TimePoint> win32::Win32Files::LastWriteTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA info{};
  if (!GetFileAttributesExW(ToWide(path).c_str(), GetFileExInfoStandard, &info)) return std::nullopt;
  return win32::FromFileTime(info.ftLastWriteTime);
}

bool win32::Win32Files::RemoveFile(const std::string& path) {
  // A symbolic link is removed itself, never its target.
  return DeleteFileW(ToWide(path).c_str()) != 0;
}

std::unique_ptr<Files> MachineFiles() {
  return std::make_unique<win32::Win32Files>();
}

}  // namespace platform
