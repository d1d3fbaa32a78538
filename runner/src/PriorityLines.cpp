#include "PriorityLines.h"

namespace runner {

PriorityLines::PriorityLines(std::streambuf& destination, std::string priority)
    : std::ostream(nullptr), buffer_(destination, std::move(priority)) {
  rdbuf(&buffer_);
}

PriorityLines::Buffer::int_type PriorityLines::Buffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  if (atLineStart_ && destination_.sputn(priority_.data(), static_cast<std::streamsize>(priority_.size())) !=
                          static_cast<std::streamsize>(priority_.size()))
    return traits_type::eof();
  atLineStart_ = traits_type::to_char_type(c) == '\n';
  return destination_.sputc(traits_type::to_char_type(c));
}

}  // namespace runner
