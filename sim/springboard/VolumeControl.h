#pragma once

#include "platform/objc/NSObject.h"

/// SpringBoard's handler of the hardware volume buttons: each press moves the
/// volume one of 16 steps.
class VolumeControl : public NSObject {
 public:
  static constexpr int maximumSteps = 16;

  /// Registers the class and its methods increaseVolume, decreaseVolume and volumeSteps.
  static Class class_();

  int volumeSteps() const { return steps_; }

 private:
  static void increaseVolume(VolumeControl* self, SEL);
  static void decreaseVolume(VolumeControl* self, SEL);
  static int volumeStepsMethod(VolumeControl* self, SEL);

  int steps_ = 8;
};
