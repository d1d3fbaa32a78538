#include <gtest/gtest.h>

#include <random>

#include "app/desktop/JpegDecoder.h"
#include "app/desktop/SplashPicture.h"
#include "tests/app/desktop/DesktopEnvironment.h"

namespace testsupport {
namespace {

std::string PictureBytes() {
  const auto picture = app::SplashPicture();
  return std::string(reinterpret_cast<const char*>(picture.data()), picture.size());
}

QImage Decode(const std::string& bytes) {
  return app::DecodeJpeg(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

// The message of the error a decoding raises; fails the test when it does not raise one.
std::string DecodingError(const std::string& bytes) {
  try {
    const QImage image = Decode(bytes);
    ADD_FAILURE() << "decoded " << image.width() << " x " << image.height() << " from a broken file";
  } catch (const app::JpegError& error) {
    return error.what();
  }
  return {};
}

// The offset of the first marker of a kind (0xFF followed by code) in the file.
std::size_t MarkerOffset(const std::string& bytes, unsigned char code) {
  for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
    if (static_cast<unsigned char>(bytes[i]) == 0xFF && static_cast<unsigned char>(bytes[i + 1]) == code)
      return i;
  return std::string::npos;
}

TEST(SplashPicture, TheCompiledInBytesAreThePictureOfTheResourcesFolder) {
  const std::filesystem::path source =
      std::filesystem::path(__FILE__).parent_path() / "../../../resources/splash.jpg";
  EXPECT_EQ(PictureBytes(), ReadFile(source)) << "run resources/make-splash.sh after changing the picture";
}

TEST(SplashPicture, DecodesToTheWindowsSizeWithItsColours) {
  const QImage image = Decode(PictureBytes());
  ASSERT_EQ(image.size(), QSize(500, 300));
  // The navy title band at the top, the pale background where the window writes its texts.
  const QColor band = image.pixelColor(250, 10);
  EXPECT_LT(band.red(), 60);
  EXPECT_GT(band.blue(), band.red() + 30);
  const QColor text = image.pixelColor(20, 200);
  EXPECT_GT(text.lightness(), 170);
}

TEST(SplashPicture, DecodesLikeAnotherDecoderOfTheSameFile) {
  const std::string bytes = PictureBytes();
  QImage reference;
  if (!reference.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<int>(bytes.size()))) {
    GTEST_SKIP() << "no second JPEG decoder to compare with";
  }
  reference = reference.convertToFormat(QImage::Format_RGB888);
  const QImage ours = Decode(bytes);
  ASSERT_EQ(ours.size(), reference.size());
  long long difference = 0;
  for (int y = 0; y < ours.height(); ++y) {
    const uchar* a = ours.constScanLine(y);
    const uchar* b = reference.constScanLine(y);
    for (int x = 0; x < ours.width() * 3; ++x)
      difference += std::abs(a[x] - b[x]);
  }
  // Both use the same library, so rows, channel order and colour conversion must agree almost exactly.
  EXPECT_LT(static_cast<double>(difference) / (ours.width() * ours.height() * 3), 1.0);
}

TEST(JpegDecoding, TruncatedFilesAreRefusedWhole) {
  const std::string bytes = PictureBytes();
  const std::size_t scan = MarkerOffset(bytes, 0xDA);
  ASSERT_NE(scan, std::string::npos);
  for (std::size_t length : {std::size_t{1}, std::size_t{2}, std::size_t{20}, scan, scan + 40,
                             bytes.size() / 2, bytes.size() - 2}) {
    const std::string message = DecodingError(bytes.substr(0, length));
    EXPECT_EQ(message.rfind("JPEG error: ", 0), 0u) << "length " << length << ": " << message;
  }
  EXPECT_EQ(DecodingError(bytes.substr(0, bytes.size() / 2)), "JPEG error: Premature end of JPEG file")
      << "a half picture is not shown half grey";
}

TEST(JpegDecoding, WhatIsNoJpegAtAllIsRefused) {
  EXPECT_EQ(DecodingError(""), "JPEG error: Empty input file");
  EXPECT_NE(DecodingError("GIF89a not a jpeg at all").find("Not a JPEG file"), std::string::npos);
  EXPECT_THROW(app::DecodeJpeg(nullptr, 0), app::JpegError);
  std::string png = "\x89PNG\r\n\x1a\n";
  png.resize(300, '\0');
  EXPECT_NE(DecodingError(png).find("Not a JPEG file"), std::string::npos);
}

TEST(JpegDecoding, AHugeDeclaredSizeIsRefusedBeforeAnyPixelMemory) {
  std::string bytes = PictureBytes();
  const std::size_t frame = MarkerOffset(bytes, 0xC0);
  ASSERT_NE(frame, std::string::npos) << "the picture is a baseline JPEG";
  // Frame header: marker, length (2), precision (1), height (2), width (2).
  // 16384 rows: within what the library accepts, far beyond any picture of ours.
  bytes[frame + 5] = static_cast<char>(0x40);
  bytes[frame + 6] = static_cast<char>(0x00);
  EXPECT_EQ(DecodingError(bytes), "JPEG error: Picture too large");
}

TEST(JpegDecoding, DamagedDataEitherDecodesWholeOrIsRefused) {
  const std::string original = PictureBytes();
  const std::size_t scan = MarkerOffset(original, 0xDA);
  std::mt19937 random(20240611);
  int refused = 0;
  for (int round = 0; round < 60; ++round) {
    std::string bytes = original;
    std::uniform_int_distribution<std::size_t> where(round % 2 == 0 ? 2 : scan, bytes.size() - 3);
    for (int flips = 0; flips < 8; ++flips)
      bytes[where(random)] = static_cast<char>(random());
    try {
      const QImage image = Decode(bytes);
      EXPECT_EQ(image.size(), QSize(500, 300)) << "round " << round;
    } catch (const app::JpegError& error) {
      ++refused;
      EXPECT_EQ(std::string(error.what()).rfind("JPEG error: ", 0), 0u);
    }
  }
  EXPECT_GT(refused, 0) << "some of this damage must be noticed";
}

}  // namespace
}  // namespace testsupport
