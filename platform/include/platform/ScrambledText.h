#pragma once

// Passwords compiled into the program are scrambled while it is compiled, so the plain text never
// reaches the binary:
//   constexpr auto kPassword = platform::Scramble(SOME_PASSWORD_MACRO);
//   std::string plain = platform::Unscramble(kPassword);   // only when it is about to be used
// Unscrambling happens out of line, so the optimiser cannot fold the plain text back into the binary.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

namespace scrambling {

// The built-in key. Scrambling hides a password from a casual look at the binary; it is not
// encryption, so the key need not be secret.
inline constexpr std::string_view kBuiltInKey = "tblBackup/IBODatabase";

// A key-dependent stream of bytes; position-dependent so repeated characters do not show.
constexpr std::uint64_t Seed(std::string_view key) {
  std::uint64_t hash = 1469598103934665603ULL;
  for (char c : key) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ULL;
  }
  return hash | 1;
}

constexpr unsigned char StreamByte(std::uint64_t& state) {
  state ^= state << 13;
  state ^= state >> 7;
  state ^= state << 17;
  return static_cast<unsigned char>(state >> 29);
}

}  // namespace scrambling

template <std::size_t N>
struct ScrambledText {
  std::array<unsigned char, N> bytes{};
};

template <std::size_t N>
consteval ScrambledText<N - 1> Scramble(const char (&plain)[N]) {
  ScrambledText<N - 1> out;
  std::uint64_t state = scrambling::Seed(scrambling::kBuiltInKey);
  for (std::size_t i = 0; i + 1 < N; ++i) {
    out.bytes[i] =
        static_cast<unsigned char>(static_cast<unsigned char>(plain[i]) ^ scrambling::StreamByte(state));
  }
  return out;
}

// Out of line on purpose (see above).
std::string UnscrambleBytes(const unsigned char* bytes, std::size_t size, std::string_view key);
std::string ScrambleBytes(std::string_view plain, std::string_view key);

template <std::size_t N>
std::string Unscramble(const ScrambledText<N>& text) {
  return UnscrambleBytes(text.bytes.data(), N, scrambling::kBuiltInKey);
}

}  // namespace platform
