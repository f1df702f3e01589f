#include "tests/support/Samples.h"

#include <png.h>

#include <vector>

namespace testsupport {

std::string utf16(const std::u16string& text, bool little) {
  std::string bytes = little ? "\xFF\xFE" : "\xFE\xFF";
  for (char16_t unit : text) {
    char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    bytes += little ? std::string{low, high} : std::string{high, low};
  }
  return bytes;
}

std::string bigEndian(std::uint64_t value, std::size_t size) {
  std::string out;
  for (std::size_t i = size; i-- > 0;) out += static_cast<char>((value >> (8 * i)) & 0xFF);
  return out;
}

std::string binaryPropertyList(const std::vector<std::string>& objects, std::size_t offsetSize,
                               std::size_t referenceSize, std::uint64_t declaredObjects) {
  std::string out = "bplist00";
  std::vector<std::uint64_t> offsets;
  for (auto& object : objects) {
    offsets.push_back(out.size());
    out += object;
  }
  std::uint64_t table = out.size();
  for (auto offset : offsets) out += bigEndian(offset, offsetSize);
  out += std::string(6, '\0');
  out += static_cast<char>(offsetSize);
  out += static_cast<char>(referenceSize);
  out += bigEndian(declaredObjects ? declaredObjects : objects.size(), 8);
  out += bigEndian(0, 8);
  out += bigEndian(table, 8);
  return out;
}

std::string sharedStringPropertyList(std::size_t length, std::size_t count) {
  std::string root = "\xD2\x01\x03\x02\x04";
  std::string list = "\xAF\x13" + bigEndian(count, 8) + std::string(count, '\x05');
  std::string string = "\x5F\x13" + bigEndian(length, 8) + std::string(length, 'x');
  return binaryPropertyList({root, "\x59isEnabled", "\x09", "\x54list", list, string}, 4, 1);
}

std::string encodePng(std::uint32_t width, std::uint32_t height, std::uint32_t format) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = width;
  image.height = height;
  image.format = format;
  std::vector<png_byte> colormap;
  if (format & PNG_FORMAT_FLAG_COLORMAP) {
    image.colormap_entries = 16;
    colormap.resize(PNG_IMAGE_COLORMAP_SIZE(image));
    for (std::size_t i = 0; i < colormap.size(); ++i) colormap[i] = static_cast<png_byte>(i * 53 % 256);
  }
  std::vector<png_byte> pixels(PNG_IMAGE_SIZE(image));
  for (std::size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = static_cast<png_byte>(colormap.empty() ? i * 37 % 251 : i % image.colormap_entries);
  const void* map = colormap.empty() ? nullptr : colormap.data();
  png_alloc_size_t length = 0;
  if (!png_image_write_to_memory(&image, nullptr, &length, 0, pixels.data(), 0, map)) return {};
  std::string bytes(length, '\0');
  if (!png_image_write_to_memory(&image, bytes.data(), &length, 0, pixels.data(), 0, map)) return {};
  bytes.resize(length);
  return bytes;
}

}  // namespace testsupport
