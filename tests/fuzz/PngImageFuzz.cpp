// PNG images as UIImage reads them: any bytes are a picture of a bounded size
// or no picture, never a crash, a huge allocation or a long decode.
#include <png.h>

#include <cstdlib>

#include "platform/uikit/UIImage.h"
#include "tests/fuzz/FuzzTarget.h"
#include "tests/support/Samples.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto pixels = uikit::pngPixelSize(std::string_view(reinterpret_cast<const char*>(data), size));
  if (pixels && (pixels->width == 0 || pixels->height == 0 || pixels->width > uikit::maxPngSide ||
                 pixels->height > uikit::maxPngSide))
    std::abort();
  return 0;
}

std::vector<std::string> fuzzSeeds() {
  return {
      testsupport::encodePng(4, 3, PNG_FORMAT_RGBA),
      testsupport::encodePng(2, 2, PNG_FORMAT_GRAY),
      testsupport::encodePng(16, 9, PNG_FORMAT_GA),
      testsupport::encodePng(5, 1, PNG_FORMAT_RGB),
      testsupport::encodePng(3, 3, PNG_FORMAT_LINEAR_RGB_ALPHA),
      testsupport::encodePng(1, 1, PNG_FORMAT_RGB_COLORMAP),
      // A chunk header claiming a gigabyte in a 53-byte file once stalled the decoder.
      testsupport::encodePng(4, 3, PNG_FORMAT_RGBA).substr(0, 33) +
          std::string("\0\0\0\0sRGB\0\xae\xf6\x18\x3d\x62\x47\x0dsPLT", 20),
  };
}
