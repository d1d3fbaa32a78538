#include "platform/ScrambledText.h"

namespace platform {

std::string ScrambleBytes(std::string_view plain, std::string_view key) {
  std::string out(plain.size(), '\0');
  std::uint64_t state = scrambling::Seed(key);
  for (std::size_t i = 0; i < plain.size(); ++i) {
    out[i] = static_cast<char>(static_cast<unsigned char>(plain[i]) ^ scrambling::StreamByte(state));
  }
  return out;
}

std::string UnscrambleBytes(const unsigned char* bytes, std::size_t size, std::string_view key) {
  // The stream is symmetric: scrambling the scrambled bytes with the same key gives the plain text.
  return ScrambleBytes(std::string_view(reinterpret_cast<const char*>(bytes), size), key);
}

}  // namespace platform
