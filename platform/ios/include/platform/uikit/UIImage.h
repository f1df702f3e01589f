#pragma once

#include "platform/coregraphics/CGGeometry.h"
#include "platform/foundation/NSString.h"
#include "platform/uikit/UIKitTypes.h"

class UIImage : public NSObject {
 public:
  static Class class_() { return ORVANE_CLASS("UIImage"); }
  /// The image at a path ("name@2x.png" on a Retina screen where it exists), or nil.
  static Retained<UIImage> imageWithContentsOfFile(NSString* path) {
    return objc::retain(objc::sendMessage<UIImage*>(class_(), ORVANE_SEL("imageWithContentsOfFile:"), path));
  }
  Retained<UIImage> imageWithRenderingMode(UIImageRenderingMode mode) const {
    return objc::retain(objc::sendMessage<UIImage*>(this, ORVANE_SEL("imageWithRenderingMode:"), mode));
  }
  CGSize size() const { return objc::sendMessage<CGSize>(this, ORVANE_SEL("size")); }
  double scale() const { return objc::sendMessage<CGFloat>(this, ORVANE_SEL("scale")); }
};
