#pragma once

#include <string>

#include "platform/coregraphics/CGGeometry.h"
#include "platform/foundation/NSString.h"

typedef long UIImageRenderingMode;
enum : UIImageRenderingMode {
  UIImageRenderingModeAutomatic = 0,
  UIImageRenderingModeAlwaysOriginal = 1,
  UIImageRenderingModeAlwaysTemplate = 2,
};

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
