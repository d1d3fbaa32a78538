#pragma once

#include <QStringList>

namespace app {

// Manual mode when the first command-line argument, with ASCII letters upper-cased, is exactly "MANUAL";
// automatic mode otherwise, including when there is no argument. arguments[0] is the program.
bool IsManualMode(const QStringList& arguments);

// The command line exactly as the program was given it. Taken before the application object is built,
// which removes the toolkit's own options ("-style x", "-reverse", ...) from argv: with those gone,
// "-style x MANUAL" would start manual mode although its first argument is "-style".
QStringList ProgramArguments(int argc, const char* const* argv);

}  // namespace app
