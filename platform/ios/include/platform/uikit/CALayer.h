#pragma once

#include "platform/coregraphics/CGGeometry.h"
#include "platform/objc/NSObject.h"
#include "platform/uikit/UIColor.h"

/// QuartzCore's layer behind every view; its shadow properties.
class CALayer : public NSObject {
 public:
  void setShadowColor(CGColorRef color) { objc::sendMessage<void>(this, ORVANE_SEL("setShadowColor:"), color); }
  void setShadowOffset(CGSize offset) { objc::sendMessage<void>(this, ORVANE_SEL("setShadowOffset:"), offset); }
  void setShadowOpacity(float opacity) { objc::sendMessage<void>(this, ORVANE_SEL("setShadowOpacity:"), opacity); }
  void setShadowRadius(CGFloat radius) { objc::sendMessage<void>(this, ORVANE_SEL("setShadowRadius:"), radius); }
};
