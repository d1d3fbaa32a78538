// The code page 1252 codec against glibc's iconv as the oracle. glibc leaves five bytes of the code page
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) where the codec maps them to the C1 controls of the same value,
// as the Windows conversion functions do, and converts the tag characters (U+E0000 to U+E007F) to nothing,
// where the codec replaces them like any other character it lacks; everything else must agree.

#include <gtest/gtest.h>
#include <iconv.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Cp1252.h"

namespace {

constexpr std::string_view kUndefinedByGlibc = "\x81\x8D\x8F\x90\x9D";

class Iconv {
 public:
  Iconv(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
  ~Iconv() { iconv_close(handle_); }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  // The whole input converted; nullopt when iconv refuses any of it or it ends inside a character.
  std::optional<std::string> operator()(std::string_view input) {
    iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    std::string in(input);
    std::string out(input.size() * 4 + 4, '\0');
    char* inAt = in.data();
    char* outAt = out.data();
    std::size_t inLeft = in.size();
    std::size_t outLeft = out.size();
    if (iconv(handle_, &inAt, &inLeft, &outAt, &outLeft) == static_cast<std::size_t>(-1)) return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
  }

 private:
  iconv_t handle_;
};

Iconv utf8ToUtf32("UTF-32LE", "UTF-8");
Iconv utf8ToCp1252("CP1252", "UTF-8");

// FromUtf8 as glibc reads the input: a character of the code page becomes its byte, any other character
// one '?', and every byte that starts no character of glibc's UTF-8 one '?'.
std::string ExpectedFromUtf8(std::string_view utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    std::size_t length = 1;
    while (length <= 4 && i + length <= utf8.size() && !utf8ToUtf32(utf8.substr(i, length)))
      ++length;
    if (length > 4 || i + length > utf8.size()) {
      out += '?';
      ++i;
      continue;
    }
    const std::optional<std::string> utf32 = utf8ToUtf32(utf8.substr(i, length));
    const std::optional<std::string> byte = utf8ToCp1252(utf8.substr(i, length));
    const bool c1 = utf32->size() == 4 && utf32->substr(1) == std::string(3, '\0') &&
                    kUndefinedByGlibc.find((*utf32)[0]) != std::string_view::npos;
    out += byte && !byte->empty() ? *byte : c1 ? std::string(1, (*utf32)[0]) : "?";
    i += length;
  }
  return out;
}

TEST(Cp1252, EveryByteEncodesAsGlibcHasItAndComesBack) {
  std::string undefined;
  for (int value = 0; value < 256; ++value) {
    const std::string byte(1, static_cast<char>(value));
    const std::optional<std::string> glibc = Iconv("UTF-8", "CP1252")(byte);
    if (!glibc) undefined += byte;
    EXPECT_EQ(cp1252::ToUtf8(byte), glibc ? *glibc : "\xC2" + byte) << value;
    EXPECT_EQ(cp1252::FromUtf8(cp1252::ToUtf8(byte)), byte) << value;
  }
  EXPECT_EQ(undefined, kUndefinedByGlibc);
}

struct DecodeCase {
  std::string utf8;
  std::string cp1252;
};

TEST(Cp1252, FromUtf8DecodesOnlyWhatIsValidUtf8AndEachByteOfTheRestIsReplaced) {
  const DecodeCase cases[] = {
      {"N\xC3\xA3o \xC3\xA9 poss\xC3\xADvel \xE2\x82\xAC", "N\xE3o \xE9 poss\xEDvel \x80"},
      {"\xC2\x81\xC2\x9D", "\x81\x9D"},             // C1 controls glibc leaves undefined
      {"\xE4\xB8\xAD\xF0\x9F\x98\x80", "??"},       // characters the code page lacks: one '?' each
      {"\xC0\xAF", "??"},                           // an overlong "/"
      {std::string("\xC0\x80", 2), "??"},           // an overlong NUL
      {"\xE0\x80\xAF\xF0\x80\x80\xAF", "???????"},  // longer overlong forms
      {"\xED\xA0\x80", "???"},                      // a surrogate
      {"\xF4\x90\x80\x80\xF5\x80", "??????"},       // above U+10FFFF
      {"\xE2\x82"
       "A\xBF\xC3",
       "??A??"},  // cut short, a stray continuation, an end inside a character
  };
  for (const DecodeCase& c : cases) {
    EXPECT_EQ(cp1252::FromUtf8(c.utf8), c.cp1252) << testing::PrintToString(c.utf8);
    EXPECT_EQ(ExpectedFromUtf8(c.utf8), c.cp1252) << "the oracle: " << testing::PrintToString(c.utf8);
  }
}

// Every input of up to two bytes, and three- and four-byte inputs around every lead byte's limits.
std::vector<std::string> Corpus() {
  std::vector<std::string> corpus;
  for (int first = 0; first < 256; ++first) {
    corpus.emplace_back(1, static_cast<char>(first));
    for (int second = 0; second < 256; ++second) {
      const std::string pair{static_cast<char>(first), static_cast<char>(second)};
      corpus.push_back(pair);
      if (first < 0xE0) continue;
      for (const char third : {'\x80', '\x9F', '\xA0', '\xBF', 'A'}) {
        corpus.push_back(pair + third);
        if (first >= 0xF0)
          for (const char fourth : {'\x80', '\xBF', 'A'})
            corpus.push_back(pair + third + fourth);
      }
    }
  }
  return corpus;
}

TEST(Cp1252, FromUtf8AndIsValidUtf8AgreeWithGlibcOverACorpus) {
  int disagreements = 0;
  for (const std::string& utf8 : Corpus()) {
    const bool valid = utf8ToUtf32(utf8).has_value();
    if (cp1252::IsValidUtf8(utf8) != valid || cp1252::FromUtf8(utf8) != ExpectedFromUtf8(utf8)) {
      if (++disagreements <= 10)
        ADD_FAILURE() << testing::PrintToString(utf8) << " glibc: " << (valid ? "valid" : "invalid") << ", "
                      << testing::PrintToString(ExpectedFromUtf8(utf8));
    }
  }
  EXPECT_EQ(disagreements, 0);
}

}  // namespace
