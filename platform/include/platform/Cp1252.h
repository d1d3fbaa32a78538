#pragma once

// Texts of the program, of its files and of the database server are single-byte Windows code page
// 1252. Source files are UTF-8, so literal texts are converted when the program is compiled:
//   std::string text = "Não é possível"_cp1252;
// and texts crossing to UTF-8 (the window toolkit, the terminal) are converted at run time.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace cp1252 {

// Unicode code points of the bytes 0x80 to 0x9F; 0 marks the five bytes the code page leaves unassigned,
// which map to the C1 control of the same value.
inline constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The code point of one byte.
constexpr char32_t ToUnicode(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) {
    char16_t mapped = kHighControls[byte - 0x80];
    return mapped != 0 ? mapped : byte;
  }
  return byte;
}

// The byte of a code point, or '?' when the code page has none.
constexpr char FromUnicode(char32_t codePoint) {
  if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) return static_cast<char>(codePoint);
  for (std::size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == codePoint || (kHighControls[i] == 0 && codePoint == 0x80 + i)) {
      return static_cast<char>(0x80 + i);
    }
  }
  return '?';
}

// One character of well-formed UTF-8 at the start of the bytes: its code point and its length, or length
// 0 when the bytes there are no character (a stray or missing continuation byte, a form longer than the
// shortest, a surrogate, anything above U+10FFFF). Validation and decoding share it, so that a sequence
// the one rejects can never be read by the other as a character: C0 AF would otherwise become "/".
struct Utf8Character {
  char32_t codePoint = 0;
  std::size_t length = 0;
};

constexpr Utf8Character FirstUtf8Character(std::string_view bytes) {
  const auto lead = static_cast<unsigned char>(bytes[0]);
  const std::size_t extra = lead < 0x80                    ? 0
                            : lead >= 0xC2 && lead <= 0xDF ? 1
                            : (lead & 0xF0) == 0xE0        ? 2
                            : lead >= 0xF0 && lead <= 0xF4 ? 3
                                                           : 4;
  if (extra > 3 || extra >= bytes.size()) return {};
  char32_t codePoint = extra == 0 ? lead : lead & (0x3F >> extra);
  for (std::size_t k = 1; k <= extra; ++k) {
    const auto next = static_cast<unsigned char>(bytes[k]);
    if ((next & 0xC0) != 0x80) return {};
    codePoint = (codePoint << 6) | (next & 0x3F);
  }
  if ((extra == 2 && (codePoint < 0x800 || (codePoint >= 0xD800 && codePoint <= 0xDFFF))) ||
      (extra == 3 && (codePoint < 0x10000 || codePoint > 0x10FFFF))) {
    return {};
  }
  return {codePoint, extra + 1};
}

// Decodes UTF-8 into code page 1252, handing each byte to `put`; every byte that starts no character
// becomes '?', as does every character the code page lacks. Kept free of std::string so that clang can
// run it while compiling too: it cannot yet build a std::string of libstdc++ in a constant expression.
template <class Put>
constexpr void DecodeUtf8(std::string_view utf8, Put&& put) {
  for (std::size_t i = 0; i < utf8.size();) {
    const Utf8Character character = FirstUtf8Character(utf8.substr(i));
    put(character.length != 0 ? FromUnicode(character.codePoint) : '?');
    i += character.length != 0 ? character.length : 1;
  }
}

// Whether the bytes are well-formed UTF-8 (shortest forms only, no surrogates, nothing above U+10FFFF).
constexpr bool IsValidUtf8(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t length = FirstUtf8Character(bytes.substr(i)).length;
    if (length == 0) return false;
    i += length;
  }
  return true;
}

constexpr std::string FromUtf8(std::string_view utf8) {
  std::string out;
  DecodeUtf8(utf8, [&out](char c) { out += c; });
  return out;
}

// Encodes code page 1252 as UTF-8.
constexpr std::string ToUtf8(std::string_view text) {
  std::string out;
  for (char c : text) {
    const char32_t codePoint = ToUnicode(static_cast<unsigned char>(c));
    if (codePoint < 0x80) {
      out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
      out += static_cast<char>(0xC0 | (codePoint >> 6));
      out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (codePoint >> 12));
      out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
  }
  return out;
}

// A literal converted when the program is compiled; the UTF-8 source text does not reach the binary.
template <std::size_t N>
struct Literal {
  char bytes[N]{};
  std::size_t size = 0;
  consteval Literal(const char (&utf8)[N]) {
    DecodeUtf8(std::string_view(utf8, N - 1), [this](char c) { bytes[size++] = c; });
  }
};

}  // namespace cp1252

template <cp1252::Literal text>
consteval std::string_view operator""_cp1252v() {
  return std::string_view(text.bytes, text.size);
}

// "Não"_cp1252 is a std::string holding the code page 1252 bytes.
template <cp1252::Literal text>
std::string operator""_cp1252() {
  return std::string(text.bytes, text.size);
}
