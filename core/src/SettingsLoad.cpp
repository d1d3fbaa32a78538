#include "core/SettingsLoad.h"

#include <exception>
#include <optional>

#include "core/TextEncoding.h"
#include "platform/Cp1252.h"

namespace core {
namespace {

std::string JoinedUtf8(const std::vector<std::string>& cp1252Lines) {
  std::string text;
  for (const std::string& line : cp1252Lines)
    text += (text.empty() ? "" : "\n") + cp1252::ToUtf8(line);
  return text;
}

// Passes every attempt on, and keeps the last failure: it is the one the outcome tells.
class LastFailureKept : public SettingsSource::Attempts {
 public:
  explicit LastFailureKept(SettingsSource::Attempts& attempts) : attempts_(attempts) {}
  void Attached(const std::string& databaseName) override { attempts_.Attached(databaseName); }
  bool AttemptFailed(const AttachError& error) override {
    last = error;
    return attempts_.AttemptFailed(error);
  }

  std::optional<AttachError> last;

 private:
  SettingsSource::Attempts& attempts_;
};

class OneAttempt : public SettingsSource::Attempts {
 public:
  void Attached(const std::string&) override {}
  bool AttemptFailed(const AttachError&) override { return false; }
};

SettingsLoadResult ResultOf(AttachFailure failure) {
  switch (failure) {
    case AttachFailure::AddressNotFound:
    case AttachFailure::ServerUnreachable:
      return SettingsLoadResult::ServerUnreachable;
    case AttachFailure::LoginRefused:
      return SettingsLoadResult::LoginRefused;
    case AttachFailure::Other:
      break;
  }
  return SettingsLoadResult::Refused;
}

}  // namespace

void ApplySettingsRow(const SettingsRow& row, BackupSettings& settings) {
  for (std::size_t i = 0; i < settings.scheduleTimes.size(); ++i)
    settings.scheduleTimes[i] = cp1252::ToUtf8(row.scheduleTimes[i]);
  settings.copyFolder = cp1252::ToUtf8(row.copyFolder);
  settings.retentionDays = row.retentionDays;
  settings.databaseBytes = row.databaseBytes;
}

SettingsLoadOutcome LoadSettingsRow(SettingsSource& source, BackupSettings& settings,
                                    const LoginChoice& login, SettingsSource::Attempts& attempts) {
  LastFailureKept kept(attempts);
  SettingsLoadOutcome outcome;
  std::optional<SettingsRow> row;
  try {
    // The connection works in the server's spelling of its file names.
    row = source.ReadRow(ServerText(settings.databaseLocation, settings.serverSystem), login, kept);
  } catch (const std::exception& error) {
    outcome.message = cp1252::ToUtf8(error.what());
    return outcome;
  }
  if (row) {
    ApplySettingsRow(*row, settings);
    outcome.result = SettingsLoadResult::Read;
  } else if (kept.last) {
    outcome.result = ResultOf(kept.last->failure);
    outcome.message = JoinedUtf8(kept.last->serverLines);
  }
  return outcome;
}

SettingsLoadOutcome LoadSettingsRow(SettingsSource& source, BackupSettings& settings,
                                    const LoginChoice& login) {
  OneAttempt once;
  return LoadSettingsRow(source, settings, login, once);
}

}  // namespace core
