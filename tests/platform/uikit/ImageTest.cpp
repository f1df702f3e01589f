#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>

#include <chrono>

#include "platform/foundation/Foundation.h"
#include "platform/uikit/UIImage.h"
#include "tests/support/Samples.h"
#include "tests/support/TemporaryDevice.h"

namespace {

using testsupport::encodePng;

std::optional<std::pair<std::uint32_t, std::uint32_t>> sizeOf(const std::string& bytes) {
  auto size = uikit::pngPixelSize(bytes);
  if (!size) return std::nullopt;
  return std::pair{size->width, size->height};
}

std::uint32_t crc32(std::string_view bytes) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (unsigned char byte : bytes) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
  }
  return ~crc;
}

void putBigEndian(std::string& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (24 - 8 * i));
}

/// The PNG with the size its header declares changed, its checksum made right again.
std::string declaring(std::string png, std::uint32_t width, std::uint32_t height) {
  putBigEndian(png, 16, width);
  putBigEndian(png, 20, height);
  putBigEndian(png, 29, crc32(std::string_view(png).substr(12, 17)));
  return png;
}

}  // namespace

TEST(PngImage, EveryKindOfPictureGivesItsPixelSize) {
  EXPECT_EQ(sizeOf(encodePng(4, 3, PNG_FORMAT_RGBA)), std::pair(4u, 3u));
  EXPECT_EQ(sizeOf(encodePng(7, 2, PNG_FORMAT_GRAY)), std::pair(7u, 2u));
  EXPECT_EQ(sizeOf(encodePng(1, 9, PNG_FORMAT_LINEAR_RGB_ALPHA)), std::pair(1u, 9u)) << "16 bits per channel";
  EXPECT_EQ(sizeOf(encodePng(5, 5, PNG_FORMAT_RGB_COLORMAP)), std::pair(5u, 5u)) << "a palette";
  EXPECT_EQ(sizeOf(encodePng(uikit::maxPngSide, 1, PNG_FORMAT_GRAY)), std::pair(uikit::maxPngSide, 1u));
}

TEST(PngImage, DamagedOrForeignBytesAreNoPicture) {
  std::string png = encodePng(8, 8, PNG_FORMAT_RGBA);
  ASSERT_TRUE(sizeOf(png));
  EXPECT_FALSE(sizeOf("")) << "empty";
  EXPECT_FALSE(sizeOf("GIF89a not a png at all")) << "another format";
  EXPECT_FALSE(sizeOf(png.substr(0, 8))) << "the signature alone";
  EXPECT_FALSE(sizeOf(png.substr(0, png.size() / 2))) << "cut in the middle";
  EXPECT_FALSE(sizeOf(png.substr(0, png.size() - 12))) << "without its end";
  std::string corrupted = png;
  corrupted[png.size() / 2] ^= 0x55;
  EXPECT_FALSE(sizeOf(corrupted)) << "a flipped byte in the image data";
  EXPECT_FALSE(sizeOf(declaring(png, 8, 9))) << "fewer rows than declared";
}

TEST(PngImage, AHugeDeclaredSizeIsRefusedAtOnce) {
  EXPECT_FALSE(sizeOf(encodePng(uikit::maxPngSide + 1, 1, PNG_FORMAT_GRAY)));
  std::string png = encodePng(2, 2, PNG_FORMAT_RGBA);
  auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(sizeOf(declaring(png, 0x7FFFFFFF, 0x7FFFFFFF)));
  EXPECT_FALSE(sizeOf(declaring(png, 4096, 4096))) << "the data of 4 pixels for 16 million";
  EXPECT_FALSE(sizeOf(declaring(png, 0, 2)));
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
}

TEST(PngImage, AFileIsReadAtTwiceTheScaleWhereARetinaVersionIsReadable) {
  AutoreleasePool pool;
  testsupport::TemporaryDevice device;
  testsupport::writeFile(device.host("/art/logo.png"), encodePng(10, 4, PNG_FORMAT_RGBA));
  testsupport::writeFile(device.host("/art/logo@2x.png"), encodePng(20, 8, PNG_FORMAT_RGBA));
  auto image = UIImage::imageWithContentsOfFile(NSSTR("/art/logo.png"));
  ASSERT_TRUE(image);
  EXPECT_EQ(image->file(), "/art/logo@2x.png");
  EXPECT_EQ(image->scale(), 2);
  EXPECT_EQ(image->size().width, 10);
  EXPECT_EQ(image->size().height, 4);

  testsupport::writeFile(device.host("/art/logo@2x.png"), "damaged");
  image = UIImage::imageWithContentsOfFile(NSSTR("/art/logo.png"));
  ASSERT_TRUE(image);
  EXPECT_EQ(image->file(), "/art/logo.png");
  EXPECT_EQ(image->scale(), 1);
  testsupport::writeFile(device.host("/art/logo.png"), encodePng(10, 4, PNG_FORMAT_RGBA).substr(0, 40));
  EXPECT_FALSE(UIImage::imageWithContentsOfFile(NSSTR("/art/logo.png")));
  EXPECT_FALSE(UIImage::imageWithContentsOfFile(NSSTR("/art/missing.png")));
  ASSERT_EQ(mkfifo(device.host("/art/pipe.png").c_str(), 0600), 0);
  EXPECT_FALSE(UIImage::imageWithContentsOfFile(NSSTR("/art/pipe.png"))) << "a FIFO is no picture, and not waited on";
}
