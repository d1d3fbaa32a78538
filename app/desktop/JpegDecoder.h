#pragma once

#include <QImage>
#include <cstddef>
#include <stdexcept>

namespace app {

// A JPEG picture could not be decoded; the text says why, as the JPEG library put it.
class JpegError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Pictures larger than this on either side are refused before any pixel memory is reserved.
inline constexpr int kLargestJpegSide = 8192;

// Decodes a whole JPEG picture with the JPEG library into an RGB image. Anything the library only
// warns about (a truncated file, corrupt data it would paint over in grey) is refused as well, so the
// result is either the complete picture or an JpegError, never a part of one.
QImage DecodeJpeg(const unsigned char* data, std::size_t size);

}  // namespace app
