#include "prefs/pages/OrvaneListController.h"

#include "platform/objc/Methods.h"

Class OrvaneListController::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<OrvaneListController>("OrvaneListController", QMOrvaneListController::class_());
    objc::addMethod<&OrvaneListController::specifiers>(registered, "specifiers");
    return registered;
  }();
  return cls;
}

NSArray* OrvaneListController::specifiers() {
  if (!_specifiers)
    _specifiers = Retained<NSArray>::adopt(objc::send<NSArray*>(this, "specifiersForPlistName:", NSSTR("Orvane")));
  return _specifiers.get();
}

namespace {
[[maybe_unused]] const Class registered = OrvaneListController::class_();
}
