#pragma once

#include <cerrno>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/objc/NSObject.h"
#include "platform/propertylist/PropertyListFormat.h"
#include "platform/result/Result.h"

namespace foundation {

// The largest file of each kind read as a property list; a larger one is unreadable.
/// A preference domain's file (the real one holds three keys).
inline constexpr std::size_t preferencesFileMaximumBytes = std::size_t{1} << 20;
/// A bundle's Info.plist, specifier lists, Settings entry lists, string tables.
inline constexpr std::size_t bundlePropertyListMaximumBytes = std::size_t{4} << 20;
/// A substrate filter list beside a library.
inline constexpr std::size_t filterPropertyListMaximumBytes = std::size_t{64} << 10;

/// The size limit for a property-list file at a device path, by its kind:
/// preference domains (".../Library/Preferences/...") or anything else.
std::size_t maximumBytesForPropertyListFile(std::string_view devicePath);

}  // namespace foundation

/// Reads the property list at a device path: one bounded read of a regular
/// file inside the device (files::readDeviceFile), parsed within the size
/// limit, which also bounds what the list may expand to, the nesting limit and
/// the other limits of parsePropertyList. Its root object, or why the file
/// cannot be read, for a person ("it is nested deeper than 64 levels"); see
/// isAbsentFile for a file that is not there at all.
orvane::Result<Retained<NSObject>> readPropertyListFile(std::string_view devicePath, std::size_t maxBytes);

/// Whether readPropertyListFile found no file, as against one it could not read.
inline bool isAbsentFile(const orvane::Error& error) { return error.code() == ENOENT; }

/// Property lists: NSString, NSNumber, NSData, NSDate, NSArray and NSDictionary.
class NSPropertyListSerialization {
 public:
  /// Parses an XML or binary property list; nil if the bytes are none, or
  /// exceed the limits (why, in `reason` if given).
  static Retained<NSObject> propertyListWithData(std::string_view bytes);
  static Retained<NSObject> propertyListWithData(std::string_view bytes, const foundation::PropertyListLimits& limits,
                                                 std::string* reason = nullptr);
  /// An XML property list of the value; nothing if it holds a non-property-list
  /// object or a value the file format cannot hold exactly.
  static std::optional<std::string> xmlDataWithPropertyList(const objc_object* value);
  static bool isPropertyList(const objc_object* value);

 private:
  class ObjectMaker;
};
