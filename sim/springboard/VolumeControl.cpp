#include "sim/springboard/VolumeControl.h"

#include <algorithm>

Class VolumeControl::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<VolumeControl>("VolumeControl", NSObject::class_());
    class_addMethod(registered, sel_registerName("increaseVolume"), reinterpret_cast<IMP>(&increaseVolume),
                    objc_encodingOf(&increaseVolume));
    class_addMethod(registered, sel_registerName("decreaseVolume"), reinterpret_cast<IMP>(&decreaseVolume),
                    objc_encodingOf(&decreaseVolume));
    class_addMethod(registered, sel_registerName("volumeSteps"), reinterpret_cast<IMP>(&volumeStepsMethod),
                    objc_encodingOf(&volumeStepsMethod));
    return registered;
  }();
  return cls;
}

void VolumeControl::increaseVolume(VolumeControl* self, SEL) { self->steps_ = std::min(self->steps_ + 1, maximumSteps); }

void VolumeControl::decreaseVolume(VolumeControl* self, SEL) { self->steps_ = std::max(self->steps_ - 1, 0); }

int VolumeControl::volumeStepsMethod(VolumeControl* self, SEL) { return self->steps_; }
