#include "tests/double/Invocation.h"

#include <cstring>
#include <string>

#include "tests/double/EntryTable.h"

namespace fbdouble {

Invocation::Invocation(const char* entry, ISC_STATUS* status) : entry_(entry), status_(status) {
  const EntryPoint* known = FindEntryPoint(entry_);
  local_ = known != nullptr && known->kind != EntryKind::Server;
  recording_ = DoubleState::Instance().Recording();
}

Invocation::~Invocation() {
  if (!recording_) return;
  try {
    Call call;
    call.entry = std::move(entry_);
    call.args = std::move(args_);
    call.out = std::move(out_);
    call.result = result_;
    call.statusCode = status_ != nullptr ? status_[1] : 0;
    call.outcome = outcome_;
    call.local = local_;
    DoubleState::Instance().Record(std::move(call));
  } catch (...) {
    // Out of memory while logging: the call itself has been answered, and a destructor must not throw.
  }
}

namespace {

std::string NumberText(long long value) {
  return std::to_string(value);
}

std::string HandleText(const FB_API_HANDLE* handle) {
  return handle == nullptr ? std::string("null") : std::to_string(*handle);
}

// A text in quotes; length 0 takes it up to its terminating zero.
std::string QuotedText(const char* text, std::size_t length = 0) {
  if (text == nullptr) return "null";
  return '"' + std::string(text, length == 0 ? std::strlen(text) : length) + '"';
}

std::string HexText(const void* bytes, long long length) {
  if (bytes == nullptr) return "null";
  const auto* data = static_cast<const unsigned char*>(bytes);
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (long long i = 0; i < length; ++i) {
    if (i > 0) text += ' ';
    text += kDigits[data[i] >> 4];
    text += kDigits[data[i] & 0x0F];
  }
  return text;
}

std::string DescriptorText(const XSQLDA* sqlda) {
  return sqlda == nullptr ? std::string("null")
                          : std::to_string(sqlda->sqln) + "/" + std::to_string(sqlda->sqld);
}

std::string QuadText(const ISC_QUAD* id) {
  return id == nullptr ? std::string("null")
                       : std::to_string(id->gds_quad_high) + ":" + std::to_string(id->gds_quad_low);
}

}  // namespace

Invocation& Invocation::Number(const char* key, long long value) {
  return Add(args_, key, [value] { return NumberText(value); });
}

Invocation& Invocation::Handle(const char* key, const FB_API_HANDLE* handle) {
  return Add(args_, key, [handle] { return HandleText(handle); });
}

Invocation& Invocation::Text(const char* key, const char* text, std::size_t length) {
  return Add(args_, key, [text, length] { return QuotedText(text, length); });
}

Invocation& Invocation::Hex(const char* key, const void* bytes, long long length) {
  return Add(args_, key, [bytes, length] { return HexText(bytes, length); });
}

Invocation& Invocation::Descriptor(const char* key, const XSQLDA* sqlda) {
  return Add(args_, key, [sqlda] { return DescriptorText(sqlda); });
}

Invocation& Invocation::Pointer(const char* key, const void* pointer) {
  return Add(args_, key, [pointer] { return std::string(pointer == nullptr ? "null" : "set"); });
}

Invocation& Invocation::Quad(const char* key, const ISC_QUAD* id) {
  return Add(args_, key, [id] { return QuadText(id); });
}

void Invocation::OutHandle(const char* key, const FB_API_HANDLE* handle) {
  Add(out_, key, [handle] { return HandleText(handle); });
}

void Invocation::OutNumber(const char* key, long long value) {
  Add(out_, key, [value] { return NumberText(value); });
}

void Invocation::OutText(const char* key, const char* text) {
  Add(out_, key, [text] { return QuotedText(text); });
}

void Invocation::OutDescriptor(const XSQLDA* sqlda) {
  if (sqlda != nullptr) OutNumber("sqld", sqlda->sqld);
}

bool Invocation::ApplyFault() {
  auto fault = DoubleState::Instance().TakeFault(entry_);
  if (!fault) return false;
  outcome_ = Outcome::Faulted;
  if (status_ != nullptr) {
    std::copy(fault->begin(), fault->end(), status_);
  }
  result_ = (*fault)[1];
  return true;
}

void Invocation::ClearStatus() {
  if (status_ == nullptr) return;
  status_[0] = isc_arg_gds;
  status_[1] = 0;
  status_[2] = isc_arg_end;
}

ISC_STATUS Invocation::Unavailable() {
  if (status_ != nullptr) {
    status_[0] = isc_arg_gds;
    status_[1] = isc_unavailable;
    status_[2] = isc_arg_end;
  }
  result_ = isc_unavailable;
  return result_;
}

}  // namespace fbdouble
