#include "services/RestoreService.h"

#include <ibase.h>

#include <algorithm>

#include "fbclient/ClientErrors.h"
#include "platform/Text.h"

namespace services {

void RestoreService::BuildStartRequest() {
  const bool anyFile = std::any_of(BackupFile().begin(), BackupFile().end(),
                                   [](const std::string& line) { return !platform::IsBlank(line); });
  if (DatabaseName().empty() || !anyFile) fbclient::RaiseClientError(fbclient::kStartParametersMissing);
  SetAction(isc_action_svc_restore);
  startRequest_.assign(1, static_cast<char>(isc_action_svc_restore));
  // The server reads the backup files first, then the database to create.
  for (const std::string& line : BackupFile()) {
    if (!platform::IsBlank(line)) AddStartParamText(line, isc_spb_bkp_file);
  }
  AddStartParamText(DatabaseName(), isc_spb_dbname);
  if (Verbose()) startRequest_ += static_cast<char>(isc_spb_verbose);
  const std::int32_t options = target_ == RestoreTarget::Replace ? isc_spb_res_replace : isc_spb_res_create;
  AddStartParamInt(options, isc_spb_options);
}

}  // namespace services
