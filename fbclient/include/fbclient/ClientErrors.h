#pragma once

#include <string>
#include <vector>

#include "fbclient/Exceptions.h"

namespace fbclient {

// Numbers of the client error table that the service side raises; the number is the SQL code of the
// EIBClientError. Entries 120 and above are this program's own refusals of values that do not fit
// the library's length fields.
enum ClientError : int {
  kClientLibraryNotFound = 1,
  kNotInterBase6Function = 3,
  kSpbConstantNotSupported = 88,
  kSpbConstantUnknown = 89,
  kServiceNotAttached = 90,
  kServiceAttached = 91,
  kServerNameMissing = 92,
  kQueryParametersMissing = 93,
  kStartParametersMissing = 94,
  kUnexpectedOutput = 95,
  kSpbValueTooLong = 120,
  kAttachDataTooLong = 121,
  kStartItemTooLong = 122,
  kStartRequestTooLong = 123,
  kBufferSizeOutOfRange = 124,
};

// One argument of a message template: %s takes it as text, %d as a decimal number.
class FormatArgument {
 public:
  FormatArgument(const char* text) : text_(text) {}
  FormatArgument(std::string text) : text_(std::move(text)) {}
  FormatArgument(int number) : text_(std::to_string(number)) {}
  FormatArgument(long long number) : text_(std::to_string(number)) {}
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

// Template `number` of the client error table (`ClientErrorTable`); empty for numbers it does not hold.
std::string ClientErrorTemplate(int number);

// The template filled in: %s and %d take the arguments in order, %% is a percent sign, arguments the
// template does not use are ignored and a directive without an argument stays empty.
std::string FormatClientError(int number, const std::vector<FormatArgument>& arguments);

template <class... Arguments>
[[noreturn]] void RaiseClientError(int number, const Arguments&... arguments) {
  throw EIBClientError(number, FormatClientError(number, {FormatArgument(arguments)...}));
}

}  // namespace fbclient
