#include "platform/uikit/UIImage.h"

#include <fmt/format.h>
#include <png.h>

#include <csetjmp>
#include <cstring>
#include <vector>

#include "platform/device/FileUtilities.h"
#include "platform/objc/Methods.h"

namespace uikit {
namespace {

struct PngReader {
  std::string_view bytes;
  std::size_t at = 0;
};

void readPngBytes(png_structp png, png_bytep out, std::size_t length) {
  auto* reader = static_cast<PngReader*>(png_get_io_ptr(png));
  if (length > reader->bytes.size() - reader->at) png_error(png, "truncated");
  std::memcpy(out, reader->bytes.data() + reader->at, length);
  reader->at += length;
}

[[noreturn]] void pngFailed(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void pngWarned(png_structp, png_const_charp) {}

/// Decodes every row (one row buffer at a time, so a file declaring a huge
/// picture costs nothing before its data is there). Kept free of C++ objects
/// because libpng leaves it by longjmp.
bool decodeRows(png_structp png, png_infop info, PngReader* reader, std::uint32_t* width, std::uint32_t* height) {
  png_bytep volatile row = nullptr;
  volatile bool decoded = false;
  if (setjmp(png_jmpbuf(png)) == 0) {
    png_set_read_fn(png, reader, readPngBytes);
    png_set_user_limits(png, maxPngSide, maxPngSide);
    // No chunk can be longer than the file, whatever its header claims.
    png_set_chunk_malloc_max(png, reader->bytes.size());
    png_read_info(png, info);
    int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    *width = png_get_image_width(png, info);
    *height = png_get_image_height(png, info);
    row = static_cast<png_bytep>(png_malloc(png, png_get_rowbytes(png, info)));
    for (int pass = 0; pass < passes; ++pass)
      for (std::uint32_t y = 0; y < *height; ++y) png_read_row(png, row, nullptr);
    png_read_end(png, nullptr);
    decoded = true;
  }
  if (row) png_free(png, row);
  return decoded;
}

}  // namespace

/// Every chunk's declared length fits in the bytes there are: libpng would
/// otherwise size buffers by a lying header before it finds the file short.
static bool chunksFit(std::string_view bytes) {
  std::size_t at = 8;
  while (at < bytes.size()) {
    if (bytes.size() - at < 12) return false;
    const auto* header = reinterpret_cast<const unsigned char*>(bytes.data() + at);
    std::size_t length = (std::size_t{header[0]} << 24) | (std::size_t{header[1]} << 16) |
                         (std::size_t{header[2]} << 8) | std::size_t{header[3]};
    if (length > bytes.size() - at - 12) return false;
    at += 12 + length;
  }
  return true;
}

std::optional<PngSize> pngPixelSize(std::string_view bytes) {
  if (bytes.size() < 8 || bytes.size() > maxPngBytes ||
      png_sig_cmp(reinterpret_cast<png_const_bytep>(bytes.data()), 0, 8) != 0 || !chunksFit(bytes))
    return std::nullopt;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, pngFailed, pngWarned);
  if (!png) return std::nullopt;
  png_infop info = png_create_info_struct(png);
  PngReader reader{bytes};
  std::uint32_t width = 0, height = 0;
  bool decoded = info && decodeRows(png, info, &reader, &width, &height);
  png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
  if (!decoded) return std::nullopt;
  return PngSize{width, height};
}

}  // namespace uikit

Class UIImage::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<UIImage>("UIImage", NSObject::class_());
    objc::addClassFunction(registered, "imageWithContentsOfFile:", +[](Class, SEL, NSString* path) {
      return UIImage::imageWithContentsOfFile(path).autorelease();
    });
    objc::addFunction(registered, "imageWithRenderingMode:", +[](UIImage* self, SEL, UIImageRenderingMode mode) {
      return self->imageWithRenderingMode(mode).autorelease();
    });
    objc::addMethod<&UIImage::size>(registered, "size");
    objc::addMethod<&UIImage::scale>(registered, "scale");
    return registered;
  }();
  return cls;
}

Retained<UIImage> UIImage::imageWithContentsOfFile(NSString* path) {
  if (!path) return nullptr;
  std::string devicePath = path->utf8();
  std::vector<std::pair<std::string, double>> candidates;
  if (devicePath.ends_with(".png") && devicePath.find("@2x.png") == std::string::npos)
    candidates.emplace_back(devicePath.substr(0, devicePath.size() - 4) + "@2x.png", 2.0);
  candidates.emplace_back(devicePath, devicePath.ends_with("@2x.png") ? 2.0 : 1.0);
  for (auto& [candidate, scale] : candidates) {
    auto contents = files::readDeviceFile(candidate, uikit::maxPngBytes);
    auto pixels = contents ? uikit::pngPixelSize(*contents) : std::nullopt;
    if (!pixels) continue;
    auto image = objc::alloc<UIImage>();
    image->file_ = candidate;
    image->pixelWidth_ = pixels->width;
    image->pixelHeight_ = pixels->height;
    image->scale_ = scale;
    return image;
  }
  return nullptr;
}

Retained<UIImage> UIImage::imageWithRenderingMode(UIImageRenderingMode mode) const {
  auto image = objc::alloc<UIImage>();
  image->file_ = file_;
  image->pixelWidth_ = pixelWidth_;
  image->pixelHeight_ = pixelHeight_;
  image->scale_ = scale_;
  image->renderingMode_ = mode;
  return image;
}

std::string UIImage::description() const {
  return fmt::format("<UIImage {} {}x{} @{}x{}>", file_, size().width, size().height, scale_,
                     renderingMode_ == UIImageRenderingModeAlwaysTemplate ? " template" : "");
}

namespace {
[[maybe_unused]] const Class registered = UIImage::class_();
}
