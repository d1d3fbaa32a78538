#pragma once

#include <QIcon>

namespace app {

// What the icon in the notification area tells of the last backup. Waiting is the program's own icon.
enum class BackupState { Waiting, Running, Succeeded, Failed };

// The program's icon: the window's icon and the picture in the notification area, with a mark in its
// lower right corner for the state of the last backup (none while waiting).
QIcon ProgramIcon(BackupState state = BackupState::Waiting);

}  // namespace app
