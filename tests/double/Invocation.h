#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>

#include "tests/double/DoubleState.h"

namespace fbdouble {

// One call of an exported entry point: collects its arguments for the log, decides how it is
// answered (fault, scripted reply, real library, fake) and records it when it goes out of scope.
class Invocation {
 public:
  // `status` is the caller's status vector; null for routines without one (or when the caller lets
  // the library use its own).
  Invocation(const char* entry, ISC_STATUS* status = nullptr);
  ~Invocation();
  Invocation(const Invocation&) = delete;
  Invocation& operator=(const Invocation&) = delete;

  Invocation& Number(const char* key, long long value);
  Invocation& Handle(const char* key, const FB_API_HANDLE* handle);
  // A length of 0 reads the text up to its NUL.
  Invocation& Text(const char* key, const char* text, std::size_t length = 0);
  Invocation& Hex(const char* key, const void* bytes, long long length);
  Invocation& Descriptor(const char* key, const XSQLDA* sqlda);
  Invocation& Pointer(const char* key, const void* pointer);
  // A blob or array id as "high:low".
  Invocation& Quad(const char* key, const ISC_QUAD* id);

  void OutHandle(const char* key, const FB_API_HANDLE* handle);
  void OutNumber(const char* key, long long value);
  void OutText(const char* key, const char* text);
  void OutDescriptor(const XSQLDA* sqlda);

  // A server call: fault, else the real library, else the fake.
  template <class Real, class Fake, class... Args>
  ISC_STATUS Answer(Real real, Fake fake, Args... args) {
    if (ApplyFault()) return result_;
    if (DoubleState::Instance().Forwarding()) return CallReal(real, args...);
    outcome_ = Outcome::Faked;
    ClearStatus();
    result_ = fake();
    return result_;
  }

  // A server call with a result buffer that a queued reply can fill.
  template <class Real, class Fake, class... Args>
  ISC_STATUS AnswerInto(char* buffer, long long length, Real real, Fake fake, Args... args) {
    if (ApplyFault()) return result_;
    if (auto reply = DoubleState::Instance().TakeReply(entry_)) {
      outcome_ = Outcome::Scripted;
      // An empty reply may have no storage at all, and memcpy must not see a null source.
      if (buffer != nullptr && length > 0 && !reply->empty()) {
        std::memcpy(buffer, reply->data(), std::min(reply->size(), static_cast<std::size_t>(length)));
      }
      ClearStatus();
      result_ = 0;
      return result_;
    }
    return Answer(real, fake, args...);
  }

  // A local routine with a status vector: it may fail on request, otherwise the real library does it.
  template <class Real, class... Args>
  ISC_STATUS AnswerLocally(Real real, Args... args) {
    if (ApplyFault()) return result_;
    return CallReal(real, args...);
  }

  // A routine without a status vector; `fallback` is returned when the real library is missing.
  template <class Result, class Real, class... Args>
  Result Forward(Result fallback, Real real, Args... args) {
    if (real == nullptr) return fallback;
    const Result value = real(args...);
    result_ = static_cast<ISC_STATUS>(value);
    return value;
  }

  template <class Real, class... Args>
  void ForwardVoid(Real real, Args... args) {
    if (real != nullptr) real(args...);
  }

 private:
  template <class Real, class... Args>
  ISC_STATUS CallReal(Real real, Args... args) {
    outcome_ = Outcome::Forwarded;
    if (real == nullptr) return Unavailable();
    result_ = real(args...);
    return result_;
  }

  bool ApplyFault();
  void ClearStatus();
  ISC_STATUS Unavailable();
  // Adds "key=value" to the arguments or the out values when recording; only then is the value made.
  template <class MakeValue>
  Invocation& Add(std::string& target, const char* key, MakeValue makeValue) {
    if (!recording_) return *this;
    if (!target.empty()) target += ' ';
    target += key;
    target += '=';
    target += makeValue();
    return *this;
  }

  std::string entry_;
  ISC_STATUS* status_ = nullptr;
  bool local_ = false;
  // Read once at the start: with recording off no argument is formatted.
  bool recording_ = true;
  std::string args_;
  std::string out_;
  ISC_STATUS result_ = 0;
  Outcome outcome_ = Outcome::Forwarded;
};

}  // namespace fbdouble
