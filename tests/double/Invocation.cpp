#include "tests/double/Invocation.h"

#include "tests/double/EntryTable.h"

namespace fbdouble {

Invocation::Invocation(const char* entry, ISC_STATUS* status) : entry_(entry), status_(status) {
  const EntryPoint* known = FindEntryPoint(entry_);
  local_ = known != nullptr && known->kind != EntryKind::Server;
}

Invocation::~Invocation() {
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

void Invocation::AppendKey(std::string& target, const char* key) {
  if (!target.empty()) target += ' ';
  target += key;
  target += '=';
}

Invocation& Invocation::Number(const char* key, long long value) {
  AppendKey(args_, key);
  args_ += std::to_string(value);
  return *this;
}

Invocation& Invocation::Handle(const char* key, const FB_API_HANDLE* handle) {
  AppendKey(args_, key);
  args_ += handle == nullptr ? std::string("null") : std::to_string(*handle);
  return *this;
}

Invocation& Invocation::Text(const char* key, const char* text, std::size_t length) {
  AppendKey(args_, key);
  if (text == nullptr) {
    args_ += "null";
    return *this;
  }
  args_ += '"';
  args_.append(text, length == 0 ? std::strlen(text) : length);
  args_ += '"';
  return *this;
}

Invocation& Invocation::Hex(const char* key, const void* bytes, long long length) {
  AppendKey(args_, key);
  if (bytes == nullptr) {
    args_ += "null";
    return *this;
  }
  const auto* data = static_cast<const unsigned char*>(bytes);
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (long long i = 0; i < length; ++i) {
    if (i > 0) args_ += ' ';
    args_ += kDigits[data[i] >> 4];
    args_ += kDigits[data[i] & 0x0F];
  }
  return *this;
}

Invocation& Invocation::Descriptor(const char* key, const XSQLDA* sqlda) {
  AppendKey(args_, key);
  args_ += sqlda == nullptr ? std::string("null")
                            : std::to_string(sqlda->sqln) + "/" + std::to_string(sqlda->sqld);
  return *this;
}

Invocation& Invocation::Pointer(const char* key, const void* pointer) {
  AppendKey(args_, key);
  args_ += pointer == nullptr ? "null" : "set";
  return *this;
}

Invocation& Invocation::Quad(const char* key, const ISC_QUAD* id) {
  AppendKey(args_, key);
  args_ += id == nullptr ? std::string("null")
                         : std::to_string(id->gds_quad_high) + ":" + std::to_string(id->gds_quad_low);
  return *this;
}

void Invocation::OutHandle(const char* key, const FB_API_HANDLE* handle) {
  AppendKey(out_, key);
  out_ += handle == nullptr ? std::string("null") : std::to_string(*handle);
}

void Invocation::OutNumber(const char* key, long long value) {
  AppendKey(out_, key);
  out_ += std::to_string(value);
}

void Invocation::OutText(const char* key, const char* text) {
  AppendKey(out_, key);
  if (text == nullptr) {
    out_ += "null";
    return;
  }
  out_ += '"';
  out_ += text;
  out_ += '"';
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
