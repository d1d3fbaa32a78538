// The About picture is decoded with the JPEG library. A damaged or hostile file must give either the
// whole picture within the size limit or JpegError; never a crash, a half picture or a huge
// allocation.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/desktop/JpegDecoder.h"
#include "fuzz/FuzzCheck.h"

namespace {

using fuzz::Require;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A copy of exactly the input's size, so that a read past the end of the file is caught.
  const std::vector<unsigned char> file(data, data + size);
  try {
    const QImage picture = app::DecodeJpeg(file.data(), file.size());
    Require(!picture.isNull(), "a decoded picture is never empty");
    Require(picture.width() > 0 && picture.width() <= app::kLargestJpegSide && picture.height() > 0 &&
                picture.height() <= app::kLargestJpegSide,
            "a decoded picture stays within the size limit");
    Require(picture.format() == QImage::Format_RGB888, "a decoded picture is RGB");
  } catch (const app::JpegError& error) {
    Require(error.what()[0] != '\0', "a refusal says why");
  }
  return 0;
}
