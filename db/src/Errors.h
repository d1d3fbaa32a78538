#pragma once

// Exceptions of the database side. Every message is code page 1252 text.

#include <stdexcept>
#include <string>
#include <vector>

#include "Events.h"
#include "fbclient/Exceptions.h"

namespace db {

// Root of the database side's exceptions: the client side's root, a runtime_error whose what() is
// the CP1252 message.
using Exception = fbclient::Exception;

// The query framework's error; its messages name the component: "%s: %s".
class EDatabaseError : public Exception {
 public:
  explicit EDatabaseError(const std::string& message) : Exception(message) {}
  EDatabaseError(const std::string& componentName, const std::string& text)
      : Exception(componentName.empty() ? text : componentName + ": " + text) {}
};

// An error of a database component; carries the component that raised it. The pointer is only
// meaningful while that component lives.
class EIB_Error : public Exception {
 public:
  EIB_Error(TIB_Component* sender, const std::string& message) : Exception(message), sender_(sender) {}
  TIB_Component* Sender() const { return sender_; }

 private:
  TIB_Component* sender_;
};

class EIB_ConnectionError : public EIB_Error {
 public:
  using EIB_Error::EIB_Error;
};

class EIB_TransactionError : public EIB_Error {
 public:
  using EIB_Error::EIB_Error;
};

class EIB_StatementError : public EIB_Error {
 public:
  using EIB_Error::EIB_Error;
};

class EIB_DatasetError : public EIB_Error {
 public:
  using EIB_Error::EIB_Error;
};

// A failed client call that no error handler suppressed.
class EIB_ISCError : public EIB_Error {
 public:
  EIB_ISCError(TIB_Component* sender, const std::string& message, long errCode, TextLines errorMessage,
               TextLines errorCodes, long sqlCode, TextLines sqlMessage, TextLines sql);

  long ERRCODE() const { return errCode_; }
  long SQLCODE() const { return sqlCode_; }
  const TextLines& ErrorMessage() const { return errorMessage_; }
  const TextLines& ErrorCodes() const { return errorCodes_; }
  const TextLines& SQLMessage() const { return sqlMessage_; }
  const TextLines& SQL() const { return sql_; }

  // Messages longer than 255 characters are cut to 250 and "(...)" so that a box stays readable.
  static std::string Shorten(const std::string& message);

 private:
  long errCode_;
  TextLines errorMessage_;
  TextLines errorCodes_;
  long sqlCode_;
  TextLines sqlMessage_;
  TextLines sql_;
};

// An internal consistency check of the schema cache that failed.
class AssertionFailure : public Exception {
 public:
  explicit AssertionFailure(const std::string& message) : Exception(message) {}
};

}  // namespace db
