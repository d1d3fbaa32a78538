#pragma once

// The events the program's handlers take: the error event of every database component, where a
// handler learns of a failed call and may keep it from being raised, and the connection's own.

#include <functional>
#include <string>
#include <vector>

namespace db {

class TIB_Component;
class TIB_Connection;

// Lines of text, as the error event hands them over.
using TextLines = std::vector<std::string>;

// Sender, ERRCODE, ErrorMessage, ErrorCodes, SQLCODE, SQLMessage, SQL, RaiseException.
using TIB_ErrorEvent = std::function<void(
    TIB_Component* Sender, long ERRCODE, const TextLines& ErrorMessage, const TextLines& ErrorCodes,
    long SQLCODE, const TextLines& SQLMessage, const TextLines& SQL, bool& RaiseException)>;

using TIB_ConnectionEvent = std::function<void(TIB_Connection* Sender)>;

}  // namespace db
