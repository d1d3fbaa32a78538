#pragma once

#include <stdexcept>
#include <string>

namespace fbclient {

// The root of every error the service side and the database side raise. The message is code page 1252
// text and is what the user sees.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};

class EDatabaseError : public Exception {
 public:
  using Exception::Exception;
};

// A failed server call or a check made on the client side, with its SQL code and GDS code.
class EIBError : public EDatabaseError {
 public:
  // The GDS code stays 0.
  EIBError(int sqlCode, const std::string& message) : EDatabaseError(message), sqlCode_(sqlCode) {}
  EIBError(int sqlCode, int gdsCode, const std::string& message)
      : EDatabaseError(message), sqlCode_(sqlCode), gdsCode_(gdsCode) {}

  int SQLCode() const { return sqlCode_; }
  int GdsCode() const { return gdsCode_; }

 private:
  int sqlCode_ = 0;
  int gdsCode_ = 0;
};

// A failed server call whose SQL code is not -551.
class EIBInterBaseError : public EIBError {
 public:
  using EIBError::EIBError;
};

// A failed server call with SQL code -551 (no permission).
class EIBInterBaseRoleError : public EIBError {
 public:
  using EIBError::EIBError;
};

// A check made without asking the server: the SQL code is the client error number, the GDS code 0.
class EIBClientError : public EIBError {
 public:
  EIBClientError(int number, const std::string& message) : EIBError(number, message) {}
};

// The operating system refused something: "System Error.  Code: %d.\r\n%s".
class EOSError : public Exception {
 public:
  EOSError(int errorCode, const std::string& systemText);
  int ErrorCode() const { return errorCode_; }

 private:
  int errorCode_;
};

// A text that should have been an integer: "'%s' is not a valid integer value".
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace fbclient
