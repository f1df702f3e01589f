#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/coregraphics/CGGeometry.h"
#include "platform/foundation/NSString.h"
#include "platform/uikit/UIKitTypes.h"

/// A PNG picture. As on a Retina device, "name.png" is read from
/// "name@2x.png" where that exists, at a scale of 2 points per pixel.
class UIImage : public NSObject {
 public:
  static Class class_();
  /// The image at a device path, or nil if it is missing or no PNG.
  static Retained<UIImage> imageWithContentsOfFile(NSString* path);

  Retained<UIImage> imageWithRenderingMode(UIImageRenderingMode mode) const;
  CGSize size() const { return {pixelWidth_ / scale_, pixelHeight_ / scale_}; }
  double scale() const { return scale_; }
  UIImageRenderingMode renderingMode() const { return renderingMode_; }
  const std::string& file() const { return file_; }

  std::string description() const override;

 private:
  std::string file_;
  double pixelWidth_ = 0, pixelHeight_ = 0, scale_ = 1;
  UIImageRenderingMode renderingMode_ = UIImageRenderingModeAutomatic;
};

namespace uikit {

/// Larger pictures are refused: no screen of the platform shows them.
constexpr std::uint32_t maxPngSide = 4096;
constexpr std::size_t maxPngBytes = 16 << 20;

struct PngSize {
  std::uint32_t width = 0, height = 0;
};

/// The pixel size of a PNG file, decoded whole and checked by libpng; nothing
/// if the bytes are no PNG, are damaged, or are too large.
std::optional<PngSize> pngPixelSize(std::string_view bytes);

}  // namespace uikit
