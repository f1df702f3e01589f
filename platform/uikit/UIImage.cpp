#include "platform/uikit/UIImage.h"

#include <fmt/format.h>
#include <png.h>

#include <cstdio>
#include <vector>

#include "platform/device/Device.h"

namespace {

/// The pixel size of a PNG file, read and checked whole by libpng.
bool readPng(const std::string& hostPath, double& width, double& height) {
  FILE* file = std::fopen(hostPath.c_str(), "rb");
  if (!file) return false;
  png_image image {};
  image.version = PNG_IMAGE_VERSION;
  bool ok = png_image_begin_read_from_stdio(&image, file) != 0;
  if (ok) {
    image.format = PNG_FORMAT_RGBA;
    std::vector<png_byte> pixels(PNG_IMAGE_SIZE(image));
    ok = png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) != 0;
    width = image.width;
    height = image.height;
  }
  png_image_free(&image);
  std::fclose(file);
  return ok;
}

}  // namespace

Class UIImage::class_() {
  static Class cls = objc_registerCppClass<UIImage>("UIImage", NSObject::class_());
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
    double width = 0, height = 0;
    if (!readPng(device::hostPath(candidate), width, height)) continue;
    auto image = Retained<UIImage>::adopt(static_cast<UIImage*>(class_createInstance(class_(), 0)));
    image->file_ = candidate;
    image->pixelWidth_ = width;
    image->pixelHeight_ = height;
    image->scale_ = scale;
    return image;
  }
  return nullptr;
}

Retained<UIImage> UIImage::imageWithRenderingMode(UIImageRenderingMode mode) const {
  auto image = Retained<UIImage>::adopt(static_cast<UIImage*>(class_createInstance(class_(), 0)));
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
