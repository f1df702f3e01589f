#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/objc/NSObject.h"

/// Property lists: NSString, NSNumber, NSData, NSDate, NSArray and NSDictionary.
class NSPropertyListSerialization {
 public:
  /// Parses an XML or binary property list; nil if the bytes are none.
  static Retained<NSObject> propertyListWithData(std::string_view bytes);
  /// An XML property list of the value; nothing if it holds a non-property-list object.
  static std::optional<std::string> xmlDataWithPropertyList(const objc_object* value);
  static bool isPropertyList(const objc_object* value);
};
