#include "prefs/pages/QMOrvaneMakersListController.h"

#include "platform/objc/Methods.h"
#include "prefs/pages/ShareAction.h"
#include "prefs/pages/TitledPage.h"

Class QMOrvaneMakersListController::class_() {
  static Class cls = objc::defineClass(QMOrvaneListController::class_(), "QMOrvaneMakersListController", [](Class defined) {
    objc::addMethod<&QMOrvaneMakersListController::specifiers>(defined, "specifiers");
    orvane::registerShareAction<QMOrvaneMakersListController>(defined);
  });
  return cls;
}

NSArray* QMOrvaneMakersListController::specifiers() {
  return orvane::titledPageSpecifiers(this, NSSTR("OrvaneMakers"), NSSTR("MAKERS"));
}

namespace {
[[maybe_unused]] const Class registered = QMOrvaneMakersListController::class_();
}
