#include "prefs/pages/QMOrvaneMakersListController.h"

#include "platform/objc/Methods.h"
#include "prefs/pages/ShareAction.h"
#include "prefs/pages/TitledPage.h"

Class QMOrvaneMakersListController::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<QMOrvaneMakersListController>("QMOrvaneMakersListController",
                                                                           QMOrvaneListController::class_());
    objc::addMethod<&QMOrvaneMakersListController::specifiers>(registered, "specifiers");
    orvane::registerShareAction<QMOrvaneMakersListController>(registered);
    return registered;
  }();
  return cls;
}

NSArray* QMOrvaneMakersListController::specifiers() {
  return orvane::titledPageSpecifiers(this, _specifiers, NSSTR("OrvaneMakers"), NSSTR("MAKERS"));
}

namespace {
[[maybe_unused]] const Class registered = QMOrvaneMakersListController::class_();
}
