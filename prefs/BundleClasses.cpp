#include "prefs/QMOrvaneLocalizer.h"
#include "prefs/QMOrvanePage.h"
#include "prefs/pages/OrvaneListController.h"
#include "prefs/pages/QMOrvaneConfigurationListController.h"
#include "prefs/pages/QMOrvaneMakersListController.h"
#include "prefs/views/QMOrvaneCustomHeaderView.h"
#include "prefs/views/QMOrvaneDeveloperTableCell.h"
#include "prefs/views/QMOrvaneLogoTableCell.h"

namespace {

// Every runtime class of the bundle. Settings finds pages and cells by the
// names in the property lists alone, so each is registered as the bundle
// loads, before any list is read; a class left off here is one that page
// or row cannot open.
constexpr Class (*bundleClasses[])() = {
    &QMOrvaneLocalizer::class_,
    &QMOrvaneListController::class_,
    &QMOrvaneListItemsController::class_,
    &OrvaneListController::class_,
    &QMOrvaneConfigurationListController::class_,
    &QMOrvaneMakersListController::class_,
    &QMOrvaneCustomHeaderView::class_,
    &QMOrvaneLogoTableCell::class_,
    &QMOrvaneDeveloperTableCell::class_,
};

[[maybe_unused]] const bool registered = [] {
  for (Class (*registration)() : bundleClasses) registration();
  return true;
}();

}  // namespace
