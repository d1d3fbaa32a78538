#pragma once

#include <QStringList>

namespace app {

// Manual mode when the first command-line argument, with ASCII letters upper-cased, is exactly "MANUAL";
// automatic mode otherwise, including when there is no argument. arguments[0] is the program.
bool IsManualMode(const QStringList& arguments);

}  // namespace app
