#pragma once

#include <string>

namespace fbdouble {

class DoubleState;

// A program run in a process of its own (the runner, under Wine as on Linux) cannot be scripted through
// the control object: the double reads a replay file instead, named by the environment variable
// FBDOUBLE_REPLAY, when it is loaded. With one, forwarding is off and the file says what the server
// answers, one directive a line (fields separated by one blank, the last one taking the rest of the line;
// "#" starts a comment):
//   line <text>                         the next line of the services manager's output (bytes as written)
//   fail <entry> <code> <times>         the entry point fails with {isc_arg_gds, code, isc_arg_end},
//                                       `times` times in a row (-1: every time)
//   column <table> <name> <type>[ <value>]
//                                       a column of the one row a query of the table fetches: type
//                                       "integer", "varchar(N)" or "timestamp"; without a value NULL
//                                       (a timestamp is always NULL)
//   backup <bytes>                      what a backup request's file holds, written where it names it
// A file that cannot be read or a directive that cannot be understood ends the process with a message on
// standard error: a test must not run against a server other than the one it wrote.
void ApplyReplayFromEnvironment(DoubleState& state);

// The same for a file given by name; throws std::runtime_error with the line at fault.
void ApplyReplayFile(DoubleState& state, const std::string& path);

}  // namespace fbdouble
