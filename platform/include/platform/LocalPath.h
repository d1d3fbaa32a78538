#pragma once

#include <string_view>

namespace platform {

// Whether a path names one place on this machine's file system whatever folder the program was started
// from: on Linux a path from "/"; on Windows a drive letter's path ("D:\Backup\", "D:/Backup/") or a
// share's ("\\server\share\"). The settings row is written on machines of either system, and a folder
// of the other's form must be refused rather than read relative to the current folder.
bool IsAbsoluteLocalPath(std::string_view path);

}  // namespace platform
