#include "platform/MachineSystem.h"

#include <cstdlib>

#include "platform/Machine.h"

namespace platform {

MachineSystem::MachineSystem()
    : clock_(MachineClock()),
      process_(MachineProcess()),
      boxes_(MachineBoxes()),
      environment_(MachineEnvironment()),
      files_(MachineFiles()),
      autostart_(MachineAutostart(*this)),
      launcher_(MachineLauncher(*this)),
      libraries_(MachineLibraries()),
      http_(MachineHttpClient()),
      folderLocks_(MachineFolderLocks()) {}

MachineSystem::~MachineSystem() = default;

TimePoint MachineSystem::Now() {
  return clock_->Now();
}
LocalDateTime MachineSystem::ToLocal(TimePoint moment) {
  return clock_->ToLocal(moment);
}
char MachineSystem::DateSeparator() {
  return clock_->DateSeparator();
}
char MachineSystem::TimeSeparator() {
  return clock_->TimeSeparator();
}
void MachineSystem::Sleep(std::chrono::milliseconds duration) {
  clock_->Sleep(duration);
}

void MachineSystem::EndProcess(int exitCode) {
  process_->EndProcess(exitCode);
  // Not reached; the compiler does not carry [[noreturn]] through a virtual call.
  std::abort();
}
std::string MachineSystem::ExecutablePath() {
  return process_->ExecutablePath();
}

void MachineSystem::ShowMessage(MessageBoxKind kind, std::string_view text) {
  boxes_->ShowMessage(kind, text);
}

std::optional<std::string> MachineSystem::Variable(const std::string& name) {
  return environment_->Variable(name);
}
bool MachineSystem::SetVariable(const std::string& name, const std::string& value) {
  return environment_->SetVariable(name, value);
}
bool MachineSystem::UnsetVariable(const std::string& name) {
  return environment_->UnsetVariable(name);
}

bool MachineSystem::CreateFolder(const std::string& path) {
  return files_->CreateFolder(path);
}
bool MachineSystem::IsFolder(const std::string& path) {
  return files_->IsFolder(path);
}
std::unique_ptr<AppendFile> MachineSystem::OpenForAppend(const std::string& path) {
  return files_->OpenForAppend(path);
}
std::optional<std::string> MachineSystem::ReadFile(const std::string& path, std::size_t maxBytes) {
  return files_->ReadFile(path, maxBytes);
}
std::unique_ptr<FileBeingWritten> MachineSystem::CreateFileBeingWritten(const std::string& path) {
  return files_->CreateFileBeingWritten(path);
}
bool MachineSystem::RemoveUnlessBeingWritten(const std::string& path) {
  return files_->RemoveUnlessBeingWritten(path);
}
std::unique_ptr<FileBeingRead> MachineSystem::OpenForReading(const std::string& path) {
  return files_->OpenForReading(path);
}
void MachineSystem::CopyFile(const std::string& source, const std::string& destination) {
  files_->CopyFile(source, destination);
}
std::vector<std::string> MachineSystem::ListFolder(const std::string& folder) {
  return files_->ListFolder(folder);
}
std::optional<TimePoint> MachineSystem::LastWriteTime(const std::string& path) {
  return files_->LastWriteTime(path);
}
bool MachineSystem::RemoveFile(const std::string& path) {
  return files_->RemoveFile(path);
}
std::optional<FileStamp> MachineSystem::Stamp(const std::string& path) {
  return files_->Stamp(path);
}
std::optional<FileExposure> MachineSystem::Exposure(const std::string& path) {
  return files_->Exposure(path);
}
std::optional<std::uint32_t> MachineSystem::AccountId(const std::string& account) {
  return files_->AccountId(account);
}
std::uint32_t MachineSystem::OwnId() {
  return files_->OwnId();
}
bool MachineSystem::OthersMayWriteIn(const std::string& folder, const std::vector<std::uint32_t>& accounts) {
  return files_->OthersMayWriteIn(folder, accounts);
}

std::unique_ptr<PrivateFolder> MachineSystem::CreatePrivateFolder(const std::string& parent,
                                                                  std::optional<std::uint32_t> accountId) {
  return files_->CreatePrivateFolder(parent, accountId);
}

bool MachineSystem::ShareFolder(const std::string& folder, std::uint32_t accountId) {
  return files_->ShareFolder(folder, accountId);
}
bool MachineSystem::AccountMayWrite(const std::string& folder, std::uint32_t accountId) {
  return files_->AccountMayWrite(folder, accountId);
}

std::string MachineSystem::AutostartFolder() {
  return autostart_->AutostartFolder();
}
bool MachineSystem::AutostartFolderUsable(bool createWhenMissing) {
  return autostart_->AutostartFolderUsable(createWhenMissing);
}
std::optional<std::string> MachineSystem::ReadAutostartEntry(const std::string& fileName) {
  return autostart_->ReadAutostartEntry(fileName);
}
bool MachineSystem::WriteAutostartEntry(const std::string& fileName, const std::string& contents) {
  return autostart_->WriteAutostartEntry(fileName, contents);
}
void MachineSystem::RemoveAutostartEntry(const std::string& fileName) {
  autostart_->RemoveAutostartEntry(fileName);
}

std::string MachineSystem::ResolveProgram(const std::string& file) {
  return launcher_->ResolveProgram(file);
}
bool MachineSystem::LaunchDetached(const std::string& program) {
  return launcher_->LaunchDetached(program);
}

Libraries::Handle MachineSystem::OpenLibrary(const std::string& fileName) {
  return libraries_->OpenLibrary(fileName);
}
void* MachineSystem::LookUp(Handle library, const char* name) {
  return libraries_->LookUp(library, name);
}
void MachineSystem::CloseLibrary(Handle library) {
  libraries_->CloseLibrary(library);
}
std::string MachineSystem::LibraryError() {
  return libraries_->LibraryError();
}

HttpReply MachineSystem::Get(const std::string& url, std::chrono::milliseconds deadline) {
  return http_->Get(url, deadline);
}
HttpReply MachineSystem::Post(const std::string& url, std::string_view body,
                              std::chrono::milliseconds deadline) {
  return http_->Post(url, body, deadline);
}

FolderLockAttempt MachineSystem::TryLockFolder(const std::string& folder) {
  return folderLocks_->TryLockFolder(folder);
}

}  // namespace platform
