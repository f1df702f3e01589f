#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/messageui/MFMailComposeViewController.h"
#include "platform/preferences/PSListController.h"
#include "platform/result/Result.h"
#include "platform/social/SLComposeViewController.h"
#include "sim/settings/SettingsEntry.h"

namespace settings {

/// The labels of a PATH ("A/B/C"); empty for "".
std::vector<std::string> splitPath(const std::string& path);

/// Settings' navigation with a bundle's first page pushed on it, driven as a
/// person's taps would: rows are found by their labels, page by page.
class Navigation {
 public:
  /// Opens Settings and pushes the bundle's first page (inside a nested
  /// navigation where the system version shows one).
  explicit Navigation(const LoadedBundle& loaded);

  /// The page on top.
  PSListController* page() const;
  /// The controllers on screen from Settings' first page to the page on top,
  /// the nested navigation (if any) opened up.
  std::vector<UIViewController*> pages() const;
  /// The navigation bar on screen: Settings' own.
  UINavigationBar* navigationBar() const { return application_->navigationBar(); }
  /// The navigation controllers whose bars show: Settings' own, and the nested one.
  std::vector<std::pair<std::string, UINavigationController*>> navigationControllers() const;
  /// The mail composer shown over the pages, if any.
  MFMailComposeViewController* presentedMail() const;
  /// The share sheet shown over the page, if any.
  SLComposeViewController* presentedSheet() const;

  /// Follows labels from the page on top; a list row's label opens its choices.
  /// The error names the missing row and lists the rows there are.
  orvane::Result<void> follow(const std::vector<std::string>& labels);
  /// Flips a switch row ("on"/"off") or picks a choice of a list row by its
  /// title, as one preferences change; fails if the change could not be written.
  orvane::Result<void> set(const std::vector<std::string>& labels, const std::string& value);
  /// Taps a button row (following the labels before it).
  orvane::Result<void> tap(const std::vector<std::string>& labels);
  /// Taps the share button at the right of the page's bar.
  orvane::Result<void> share();

 private:
  orvane::Result<void> followTo(const std::vector<std::string>& labels, std::size_t count);
  orvane::Result<void> setRow(const std::vector<std::string>& labels, const std::string& value);

  Retained<UINavigationController> application_;
  Retained<UINavigationController> nested_;
  Retained<PSListController> root_;
};

}  // namespace settings
