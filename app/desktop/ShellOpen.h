#pragma once

#include <QString>

namespace app {

// The program file that the desktop shell would run for a file name: a name with a folder is taken as it
// stands; a bare name is looked for in the current folder first, then along PATH. Only executable
// regular files count. Empty when there is none.
QString ResolveShellFile(const QString& file);

// Starts that program with no arguments in the current folder, detached from this process (it outlives
// the program and is never waited for). False when there was nothing to start or it did not start.
bool ShellOpen(const QString& file);

}  // namespace app
