#include "prefs/pages/QMOrvaneMakersListController.h"

#include "platform/objc/Methods.h"
#include "prefs/pages/ShareAction.h"
#include "prefs/pages/TitledPage.h"
#include "support/Objects.h"

Class QMOrvaneMakersListController::class_() {
  using Page = QMOrvaneMakersListController;
  static Class cls = objc::defineClass({
      .name = "QMOrvaneMakersListController",
      .superclass = QMOrvaneListController::class_(),
      .methods = objc::join(
          {{objc::method<&Page::specifiers>(orvane::sel::specifiers)}, orvane::shareActionMethods<Page>()}),
  });
  return cls;
}

NSArray* QMOrvaneMakersListController::specifiers() {
  return orvane::titledPageSpecifiers(this, NSSTR("OrvaneMakers"), NSSTR("MAKERS"));
}
