#include "services/TIBBackupService.h"

#include <ibase.h>

#include "StrToInt.h"
#include "fbclient/ClientErrors.h"
#include "platform/Text.h"

namespace services {

void TIBBackupService::BuildStartRequest() {
  if (DatabaseName().empty()) fbclient::RaiseClientError(fbclient::kStartParametersMissing);
  const auto optionsWord = static_cast<std::int32_t>(options_.Word());
  SetAction(isc_action_svc_backup);
  startRequest_.assign(1, static_cast<char>(isc_action_svc_backup));
  AddStartParamText(DatabaseName(), isc_spb_dbname);
  AddStartParamInt(optionsWord, isc_spb_options);
  if (Verbose()) startRequest_ += static_cast<char>(isc_spb_verbose);
  if (blockingFactor_ > 0) AddStartParamInt(blockingFactor_, isc_spb_bkp_factor);
  for (const std::string& line : BackupFile()) {
    if (platform::IsBlank(line)) continue;
    const std::size_t equals = fileLengths_ ? line.find('=') : std::string::npos;
    if (equals == std::string::npos) {
      AddStartParamText(line, isc_spb_bkp_file);
      continue;
    }
    AddStartParamText(line.substr(0, equals), isc_spb_bkp_file);
    AddStartParamInt(StrToInt(line.substr(equals + 1)), isc_spb_bkp_length);
  }
}

}  // namespace services
