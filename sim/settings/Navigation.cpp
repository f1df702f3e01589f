#include "sim/settings/Navigation.h"

#include <fmt/format.h>

#include "platform/corefoundation/CoreFoundation.h"
#include "platform/device/PreferencesChange.h"
#include "platform/objc/Methods.h"
#include "sim/settings/PageSnapshot.h"
#include "sim/settings/SystemTexts.h"

using orvane::Error;
using orvane::Result;

namespace settings {
namespace {

// The system versions whose Settings push a bundle's page inside a navigation of its own.
constexpr double nestedBarsFirst = 1140.1;
constexpr double nestedBarsLast = 1141.18;

std::string text(const NSString* string) { return string ? string->utf8() : ""; }

/// The row labelled `label` on the page; `labels` gets every row's label on the way.
PSSpecifier* findRow(PSListController* page, const std::string& label, std::vector<std::string>& labels) {
  labels.clear();
  for (auto& group : page->groups())
    for (PSSpecifier* row : group.rows) {
      labels.push_back(text(row->name()));
      if (labels.back() == label) return row;
    }
  return nullptr;
}

}  // namespace

std::vector<std::string> splitPath(const std::string& path) {
  std::vector<std::string> labels;
  std::size_t start = 0;
  while (start <= path.size() && !path.empty()) {
    std::size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    if (slash > start) labels.push_back(path.substr(start, slash - start));
    start = slash + 1;
  }
  return labels;
}

Navigation::Navigation(const LoadedBundle& loaded) {
  auto settingsPage = UIViewController::controller(UIViewController::class_());
  settingsPage->setTitle(NSString::stringWithUTF8String(systemText(SystemText::Settings)).get());
  application_ = UINavigationController::controllerWithRootViewController(settingsPage.get());
  application_->beginAppearanceTransition(true, false);
  application_->endAppearanceTransition(false);

  Retained<UIViewController> page = UIViewController::controller(loaded.pageClass);
  root_ = Retained<PSListController>::retain(objc_cast<PSListController>(page.get()));
  root_->setBundle(loaded.bundle.get());
  double version = kCFCoreFoundationVersionNumber;
  if (version >= nestedBarsFirst && version <= nestedBarsLast) {
    nested_ = UINavigationController::controllerWithRootViewController(root_.get());
    application_->pushViewController_animated(nested_.get(), true);
  } else {
    application_->pushViewController_animated(root_.get(), true);
  }
}

PSListController* Navigation::page() const {
  UINavigationController* navigation = nested_ ? nested_.get() : application_.get();
  return navigation ? objc_cast<PSListController>(navigation->topViewController()) : nullptr;
}

std::vector<UIViewController*> Navigation::pages() const {
  std::vector<UIViewController*> shown;
  for (auto& controller : application_->viewControllers()) {
    if (auto* navigation = objc_cast<UINavigationController>(controller.get()))
      for (auto& inner : navigation->viewControllers()) shown.push_back(inner.get());
    else
      shown.push_back(controller.get());
  }
  return shown;
}

std::vector<std::pair<std::string, UINavigationController*>> Navigation::navigationControllers() const {
  std::vector<std::pair<std::string, UINavigationController*>> controllers = {{"Settings", application_.get()}};
  if (nested_) controllers.emplace_back("nested", nested_.get());
  return controllers;
}

MFMailComposeViewController* Navigation::presentedMail() const {
  for (UIViewController* presenter : {static_cast<UIViewController*>(application_.get()),
                                      static_cast<UIViewController*>(nested_.get()), static_cast<UIViewController*>(page())})
    if (presenter)
      if (auto* mail = objc_cast<MFMailComposeViewController>(presenter->presentedViewController())) return mail;
  return nullptr;
}

SLComposeViewController* Navigation::presentedSheet() const {
  PSListController* current = page();
  return current ? objc_cast<SLComposeViewController>(current->presentedViewController()) : nullptr;
}

Result<void> Navigation::share() {
  PSListController* current = page();
  auto* button = current ? objc_cast<UIBarButtonItem>(current->navigationItem()->rightBarButtonItem()) : nullptr;
  if (!button) return Error(std::string("the page ") + (current ? object_getClassName(current) : "?") + " has no share button");
  button->tap();
  return orvane::success();
}

Result<void> Navigation::followTo(const std::vector<std::string>& labels, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    PSListController* current = page();
    std::vector<std::string> here;
    PSSpecifier* row = current ? findRow(current, labels[i], here) : nullptr;
    if (!row) {
      std::string list;
      for (auto& name : here) list += (list.empty() ? "" : ", ") + ("\"" + name + "\"");
      std::string pageName = current && current->title() ? current->title()->utf8() : "";
      if (pageName.empty()) pageName = current ? object_getClassName(current) : "?";
      return Error(fmt::format("no row \"{}\" on the page \"{}\"; its rows: {}", labels[i], pageName,
                               list.empty() ? "none" : list));
    }
    if (row->cellType() != PSLinkCell && row->cellType() != PSLinkListCell)
      return Error(fmt::format("the row \"{}\" is a {} row and opens no page", labels[i], rowKind(row->cellType())));
    if (!current->selectRow(row))
      return Error(fmt::format("the row \"{}\" opens nothing: no page class {}", labels[i],
                               foundation::describe(row->propertyForKey("detail"))));
  }
  return orvane::success();
}

Result<void> Navigation::follow(const std::vector<std::string>& labels) { return followTo(labels, labels.size()); }

Result<void> Navigation::set(const std::vector<std::string>& labels, const std::string& value) {
  device::PreferencesChange change;
  if (auto done = setRow(labels, value); !done) return done;
  if (change.failures().empty()) return orvane::success();
  std::string failures;
  for (auto& failure : change.failures()) failures += (failures.empty() ? "" : "; ") + failure;
  return Error(failures);
}

Result<void> Navigation::setRow(const std::vector<std::string>& labels, const std::string& value) {
  if (labels.empty()) return Error("set needs the path of a row");
  if (auto opened = followTo(labels, labels.size() - 1); !opened) return opened;
  PSListController* current = page();
  std::vector<std::string> here;
  PSSpecifier* row = findRow(current, labels.back(), here);
  if (!row) return followTo(labels, labels.size());  // says which rows exist
  if (row->cellType() == PSSwitchCell) {
    bool on = value == "on" || value == "yes" || value == "true" || value == "1";
    bool off = value == "off" || value == "no" || value == "false" || value == "0";
    if (!on && !off) return Error("a switch is set \"on\" or \"off\", not \"" + value + "\"");
    current->setSwitch(row, on);
    return orvane::success();
  }
  if (row->cellType() == PSLinkListCell) {
    auto* choices = objc_cast<PSListItemsController>(current->selectRow(row));
    if (!choices) return Error("the row \"" + labels.back() + "\" opens no list of choices");
    if (!choices->pickTitle(value)) {
      std::string titles;
      for (auto& group : choices->groups())
        for (PSSpecifier* item : group.rows) titles += (titles.empty() ? "\"" : ", \"") + text(item->name()) + "\"";
      return Error(fmt::format("no choice \"{}\" for \"{}\"; its choices: {}", value, labels.back(),
                               titles.empty() ? "none" : titles));
    }
    choices->navigationController()->popViewControllerAnimated(true);
    return orvane::success();
  }
  return Error(fmt::format("the row \"{}\" is a {} row; set takes a switch or a list row", labels.back(),
                           rowKind(row->cellType())));
}

Result<void> Navigation::tap(const std::vector<std::string>& labels) {
  if (labels.empty()) return Error("tap needs the path of a row");
  if (auto opened = followTo(labels, labels.size() - 1); !opened) return opened;
  PSListController* current = page();
  std::vector<std::string> here;
  PSSpecifier* row = findRow(current, labels.back(), here);
  if (!row || row->cellType() != PSButtonCell) return followTo({labels.back()}, 1);
  current->selectRow(row);
  return orvane::success();
}

}  // namespace settings
