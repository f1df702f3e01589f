#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "platform/preferences/PSListController.h"

/// The Settings app of the device, as far as a preference bundle sees it: it
/// reads the bundle's entry, loads the bundle, opens its first page inside the
/// app's navigation, and follows rows as taps would.
class SettingsApp {
 public:
  /// Opens Settings and the entry; `error()` says what is missing.
  explicit SettingsApp(const std::string& entryName);
  ~SettingsApp();

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }

  /// Follows labels from the entry's first page; false (and `error()`) if a
  /// label names no row. A list row's label opens its choices.
  bool follow(const std::vector<std::string>& labels);
  /// Flips a switch row ("on"/"off") or picks a choice of a list row by its
  /// title; false if the row is not there, or if the change could not be written.
  bool set(const std::vector<std::string>& labels, const std::string& value);
  /// Taps a button or link row.
  bool tap(const std::vector<std::string>& labels);

  PSListController* page() const;
  /// The mail composer shown over the pages, if any.
  class MFMailComposeViewController* presentedMail() const;
  /// The share sheet shown over the page, if any.
  class SLComposeViewController* presentedSheet() const;
  /// Taps the share button at the right of the page's bar; false if it has none.
  bool share();
  nlohmann::json show() const;
  nlohmann::json inspect() const;

  static std::string showText(const nlohmann::json& page);
  static std::string inspectText(const nlohmann::json& tree);

 private:
  PSSpecifier* findRow(PSListController* page, const std::string& label, std::vector<std::string>& labels) const;
  bool followTo(const std::vector<std::string>& labels, std::size_t count);
  bool setRow(const std::vector<std::string>& labels, const std::string& value);

  std::string error_;
  std::string entryLabel_;
  Retained<UINavigationController> application_;
  Retained<UINavigationController> nested_;
  Retained<PSListController> root_;
};

/// The labels of a PATH ("A/B/C"); empty for "".
std::vector<std::string> splitPath(const std::string& path);
