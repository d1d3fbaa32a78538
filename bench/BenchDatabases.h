#pragma once

#include <filesystem>
#include <string>

#include "tests/support/FirebirdServer.h"

namespace bench {

// The two databases the job is measured on, built on a private server in the data folder and kept
// there for later runs (rebuilt when their recipe changes). Creating them takes a few minutes.
//
// Data-heavy: about 200 MB in 60 tables of some 14,000 rows each (few verbose lines, much data).
std::filesystem::path DataHeavyDatabase(const testsupport::FirebirdServer& server);
// Metadata-heavy: 1,500 small tables (tens of thousands of verbose lines, little data).
std::filesystem::path MetadataHeavyDatabase(const testsupport::FirebirdServer& server);

// Both hold the program's settings row. This gives it one schedule time ("hh:mm"), no copy folder and
// no clean-up, so that a job does what gbak does.
void SetSettingsRow(const testsupport::FirebirdServer& server, const std::filesystem::path& database,
                    const std::string& time);

}  // namespace bench
