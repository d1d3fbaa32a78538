#pragma once

// The transaction component of the main window. The program only hands it to the query that runs in
// it; what a transaction is and does stays inside this library.

namespace db {

class TIB_Transaction;
using TIBOTransaction = TIB_Transaction;

}  // namespace db
