#include "services/TIBRestoreService.h"

#include <algorithm>

#include "fbclient/ClientErrors.h"

namespace services {

namespace {

bool IsBlankLine(const std::string& line) {
  return std::all_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) <= ' '; });
}

}  // namespace

void TIBRestoreService::BuildStartRequest() {
  const bool anyFile = std::any_of(backupFile_.begin(), backupFile_.end(),
                                   [](const std::string& line) { return !IsBlankLine(line); });
  if (databaseName_.empty() || !anyFile) fbclient::RaiseClientError(fbclient::kStartParametersMissing);
  SetAction(isc_action_svc_restore);
  startRequest_.assign(1, static_cast<char>(isc_action_svc_restore));
  // The server reads the backup files first, then the database to create.
  for (const std::string& line : backupFile_) {
    if (!IsBlankLine(line)) AddStartParamText(line, isc_spb_bkp_file);
  }
  AddStartParamText(databaseName_, isc_spb_dbname);
  if (Verbose()) startRequest_ += static_cast<char>(isc_spb_verbose);
  const std::int32_t options = target_ == TRestoreTarget::Replace ? isc_spb_res_replace : isc_spb_res_create;
  AddStartParamInt(options, isc_spb_options);
}

}  // namespace services
