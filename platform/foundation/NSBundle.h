#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/objc/NSObject.h"

class NSString;
class NSDictionary;

/// A directory of resources: Info.plist at its top, string tables in
/// "<language>.lproj/<table>.strings".
class NSBundle : public NSObject {
 public:
  static Class class_();
  /// The bundle at a device path, the same object for the same path; nil if
  /// no directory is there.
  static NSBundle* bundleWithPath(const NSString* path);

  /// The device path of the bundle.
  const std::string& bundlePath() const { return path_; }
  /// Info.plist, or an empty dictionary.
  NSDictionary* infoDictionary();
  objc_object* objectForInfoDictionaryKey(std::string_view key);

  /// The device path of "<name>.<type>" at the top of the bundle or in the
  /// folder of one of the languages in use; nil if there is none.
  Retained<NSString> pathForResource_ofType(const NSString* name, const NSString* type);

  /// The text for a key in the device's language: its preferred language,
  /// then that language's base ("de-AT", then "de"), then the bundle's
  /// development language. A key no table holds comes back as `value`, or as
  /// the key itself when `value` is nil or empty. A nil table is "Localizable".
  Retained<NSString> localizedStringForKey_value_table(const NSString* key, const NSString* value, const NSString* table);

  /// The languages searched, in order.
  std::vector<std::string> searchLanguages();

 private:
  using Table = std::map<std::string, std::string>;
  const Table* table(const std::string& language, const std::string& name);

  std::string path_;
  std::mutex mutex_;
  Retained<NSDictionary> info_;
  std::map<std::string, std::optional<Table>> tables_;
};

namespace foundation {

/// Larger string tables are not read: a bundle's texts are a few kilobytes.
constexpr std::size_t maxStringsTableBytes = 4 << 20;

/// Where a strings table broke: its line (from 1) and what was wrong there.
struct StringsTableError {
  std::size_t line = 0;
  std::string reason;
};

/// Parses a strings table: the old text form ("key" = "value"; with comments
/// and escapes, in UTF-8 or UTF-16) or, when the file starts with one, a
/// property list of strings. Nothing if the text is neither; then `error`,
/// if given, says where. Text that is not well-formed Unicode (invalid UTF-8,
/// lone surrogates) comes out as U+FFFD.
std::optional<std::map<std::string, std::string>> parseStringsTable(std::string_view bytes,
                                                                    StringsTableError* error = nullptr);

}  // namespace foundation
