#include "app/desktop/JpegDecoder.h"

// jpeglib.h uses FILE and size_t without including their headers.
#include <jpeglib.h>

#include <csetjmp>
#include <cstdio>
#include <string>

namespace app {
namespace {

// The library reports errors through this record and expects the handler never to return to it.
struct ErrorManager {
  jpeg_error_mgr library;  // first, so that the library's pointer is also a pointer to the record
  std::jmp_buf escape;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void EscapeFromLibrary(j_common_ptr info) {
  auto* errors = reinterpret_cast<ErrorManager*>(info->err);
  errors->library.format_message(info, errors->message);
  std::longjmp(errors->escape, 1);
}

void OnLibraryMessage(j_common_ptr info, int level) {
  // Level -1 is corrupt or missing data that the library would otherwise paint over and carry on with.
  if (level < 0) EscapeFromLibrary(info);
}

struct Decoding {
  const unsigned char* data = nullptr;
  std::size_t size = 0;
  jpeg_decompress_struct info{};
  ErrorManager errors{};
  bool created = false;
  QImage image;

  ~Decoding() {
    if (created) jpeg_destroy_decompress(&info);
  }
};

void Fail(Decoding& decoding, const char* message) {
  std::snprintf(decoding.errors.message, sizeof decoding.errors.message, "%s", message);
}

// The library leaves this function by longjmp on any error, so it must not own anything with a
// destructor: all state lives in the Decoding record of the caller.
bool RunDecoding(Decoding& decoding) {
  if (setjmp(decoding.errors.escape) != 0) return false;
  jpeg_create_decompress(&decoding.info);
  decoding.created = true;
  jpeg_mem_src(&decoding.info, decoding.data, static_cast<unsigned long>(decoding.size));
  jpeg_read_header(&decoding.info, TRUE);
  if (decoding.info.image_width > static_cast<JDIMENSION>(kLargestJpegSide) ||
      decoding.info.image_height > static_cast<JDIMENSION>(kLargestJpegSide)) {
    Fail(decoding, "Picture too large");
    return false;
  }
  decoding.info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&decoding.info);
  if (decoding.info.output_components != 3) {
    Fail(decoding, "Unsupported color conversion request");
    return false;
  }
  decoding.image = QImage(static_cast<int>(decoding.info.output_width),
                          static_cast<int>(decoding.info.output_height), QImage::Format_RGB888);
  if (decoding.image.isNull()) {
    Fail(decoding, "Insufficient memory");
    return false;
  }
  while (decoding.info.output_scanline < decoding.info.output_height) {
    JSAMPROW row = decoding.image.scanLine(static_cast<int>(decoding.info.output_scanline));
    jpeg_read_scanlines(&decoding.info, &row, 1);
  }
  jpeg_finish_decompress(&decoding.info);
  return true;
}

}  // namespace

QImage DecodeJpeg(const unsigned char* data, std::size_t size) {
  Decoding decoding;
  decoding.data = data;
  decoding.size = size;
  decoding.info.err = jpeg_std_error(&decoding.errors.library);
  decoding.errors.library.error_exit = EscapeFromLibrary;
  decoding.errors.library.emit_message = OnLibraryMessage;
  if (data == nullptr || size == 0) {
    Fail(decoding, "Empty input file");
  } else if (RunDecoding(decoding)) {
    return std::move(decoding.image);
  }
  throw JpegError(std::string("JPEG error: ") + decoding.errors.message);
}

}  // namespace app
