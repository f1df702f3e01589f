#pragma once

#include "platform/coregraphics/CGGeometry.h"
#include "platform/objc/NSObject.h"
#include "platform/uikit/UIKitTypes.h"

/// The device, as the device's settings describe it (a phone or a pad). It
/// answers the runtime message "userInterfaceIdiom".
class UIDevice : public NSObject {
 public:
  static Class class_();
  static NSObject* currentDevice();
  /// Puts another object in the device's place, for tests (nil restores the device).
  static void setCurrentDevice(NSObject* device);

  UIUserInterfaceIdiom userInterfaceIdiom();
};

namespace uikit {
/// The device's screen in points, as its idiom has it: a 320x568 phone or a 768x1024 pad.
CGSize screenSize();
}  // namespace uikit
