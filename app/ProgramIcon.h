#pragma once

#include <QIcon>

namespace app {

// The program's icon: the window's icon and the picture in the notification area.
QIcon ProgramIcon();

}  // namespace app
