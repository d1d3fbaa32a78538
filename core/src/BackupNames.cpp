#include "core/BackupNames.h"

#include "core/DateTimeFormat.h"
#include "core/LocationParts.h"

namespace core {
namespace {

constexpr const char* kScratchSuffix = "_verificacao.fdb";

// The text after the last of the delimiters (the whole text when none occurs).
std::string AfterLast(const std::string& text, const char* delimiters) {
  const size_t at = text.find_last_of(delimiters);
  return at == std::string::npos ? text : text.substr(at + 1);
}

// A file name with its extension (from its last ".") replaced; a name without "." gets it appended.
std::string ChangeExtension(const std::string& name, const std::string& extension) {
  const size_t dot = name.find_last_of(".\\:");
  if (dot == std::string::npos || name[dot] != '.') return name + extension;
  return name.substr(0, dot) + extension;
}

}  // namespace

std::string LinuxServerTarget(const std::string& programFolder, const std::string& databaseFileName,
                              const std::string& timestamp) {
  return ReplaceChar(programFolder, '\\', '/') + "backup/" +
         ChangeExtension(databaseFileName, timestamp + ".gbk");
}

std::string WindowsServerTarget(const std::string& programFolder, const std::string& databasePath,
                                const std::string& timestamp) {
  return programFolder + "backup\\" + ChangeExtension(AfterLast(databasePath, "\\:"), timestamp + ".gbk");
}

BackupNames BackupNames::For(const BackupSettings& settings, const platform::LocalDateTime& jobStart) {
  BackupNames names;
  names.backupFolder = settings.programFolder + "backup/";
  names.logFile = names.backupFolder + "backup.txt";
  names.serverName = ServerPart(settings.databaseLocation);
  names.databasePath = PathPart(settings.databaseLocation);
  names.timestamp = FormatDateTime("_yyyymmdd_hhnn", jobStart, '/', ':');
  names.databaseFileName = AfterLast(ReplaceChar(names.databasePath, '/', '\\'), "\\:");
  names.localBackupName =
      names.backupFolder + ChangeExtension(names.databaseFileName, "") + names.timestamp + ".gbk";
  names.serverTarget =
      settings.serverSystem == "Linux"
          ? LinuxServerTarget(settings.programFolder, names.databaseFileName, names.timestamp)
          : WindowsServerTarget(settings.programFolder, names.databasePath, names.timestamp);
  names.copyTarget = settings.copyFolder + AfterLast(names.localBackupName, "/");
  // Both backup names end with the timestamp and ".gbk".
  constexpr std::size_t kGbk = 4;
  names.scratchDatabase = names.serverTarget.substr(0, names.serverTarget.size() - kGbk) + kScratchSuffix;
  names.localScratchDatabase =
      names.localBackupName.substr(0, names.localBackupName.size() - kGbk) + kScratchSuffix;
  return names;
}

BackupNames BackupNames::InFolder(const std::string& folderName, bool linuxServer) const {
  const char separator = linuxServer ? '/' : '\\';
  // Before the file name, after the last separator of the name's own form.
  const auto inside = [&](const std::string& path, char pathSeparator) {
    const std::size_t name = path.find_last_of(pathSeparator) + 1;
    return path.substr(0, name) + folderName + pathSeparator + path.substr(name);
  };
  BackupNames names = *this;
  names.serverTarget = inside(serverTarget, separator);
  names.scratchDatabase = inside(scratchDatabase, separator);
  names.localBackupName = inside(localBackupName, '/');
  names.localScratchDatabase = inside(localScratchDatabase, '/');
  return names;
}

}  // namespace core
