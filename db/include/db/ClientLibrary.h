#pragma once

// Which file the database side loads as the Firebird client library. The library is loaded at run
// time on first need and kept for the life of the process.

#include <string>
#include <vector>

namespace db {

// The file names tried in order: platform::ClientLibraryFileNames() ("libfbclient.so.2", then the older
// "libfbclient.so" and "libgds.so"; "fbclient.dll", then "gds32.dll" on Windows).
std::vector<std::string> DefaultClientLibraryFileNames();
// Replaces the list (names or paths), forgets what was bound and unloads nothing; the next
// EnsureClientLoaded loads from the new list. Meant for tests that load a stand-in library.
void SetClientLibraryFileNames(std::vector<std::string> fileNames);
std::vector<std::string> ClientLibraryFileNames();

}  // namespace db
