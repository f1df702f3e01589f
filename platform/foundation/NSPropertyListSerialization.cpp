#include "platform/foundation/NSPropertyListSerialization.h"

#include <cerrno>
#include <unordered_map>

#include "platform/device/FileUtilities.h"
#include "platform/foundation/NSArray.h"
#include "platform/foundation/NSData.h"
#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSDictionary.h"
#include "platform/foundation/NSNumber.h"
#include "platform/foundation/NSString.h"

namespace {

using foundation::PropertyListValue;
using Type = PropertyListValue::Type;

// Both conversions recurse, but only as deep as a property list may nest.

}  // namespace

/// Makes the objects of a parsed value. A value that a binary list shares
/// becomes one object held at each place, as the platform's reader makes one
/// object per object reference; a shared dictionary is then an immutable one,
/// so that a change made through one place cannot show at another.
class NSPropertyListSerialization::ObjectMaker {
 public:
  Retained<NSObject> make(const PropertyListValue& value) { return make(value, false); }

 private:
  Retained<NSObject> item(const foundation::SharedPropertyListValue& value) {
    if (value.use_count() == 1) return make(*value, false);
    auto& made = shared_[value.get()];
    if (!made) made = make(*value, true);
    return made;
  }

  Retained<NSObject> make(const PropertyListValue& value, bool shared) {
    switch (value.type) {
      case Type::Boolean: return NSNumber::numberWithBool(value.boolean);
      case Type::Integer:
        return value.isUnsigned ? NSNumber::numberWithUnsignedLongLong(value.integer)
                                : NSNumber::numberWithInteger(static_cast<long long>(value.integer));
      case Type::Real: return NSNumber::numberWithDouble(value.real);
      case Type::String: return NSString::stringWithUTF8String(value.text);
      case Type::Data: return NSData::dataWithBytes(value.text);
      case Type::Date: return NSDate::dateWithTimeIntervalSinceReferenceDate(value.real);
      case Type::Array: {
        std::vector<Retained<objc_object>> items;
        items.reserve(value.items.size());
        for (auto& entry : value.items) items.push_back(item(entry));
        return NSArray::arrayWithObjects(std::move(items));
      }
      case Type::Dictionary: {
        Retained<NSDictionary> dictionary = shared ? NSDictionary::dictionary() : NSMutableDictionary::dictionary();
        for (std::size_t i = 0; i < value.items.size(); ++i) dictionary->entries_[value.keys[i]] = item(value.items[i]);
        return dictionary;
      }
    }
    return nullptr;
  }

  std::unordered_map<const PropertyListValue*, Retained<NSObject>> shared_;
};

namespace {

std::optional<PropertyListValue> toValue(const objc_object* object, std::size_t depth) {
  PropertyListValue value;
  if (auto* string = dynamic_cast<const NSString*>(object)) {
    value.type = Type::String;
    value.text = string->utf8();
  } else if (auto* number = dynamic_cast<const NSNumber*>(object)) {
    switch (number->kind()) {
      case NSNumber::Kind::Boolean:
        value.type = Type::Boolean;
        value.boolean = number->boolValue();
        break;
      case NSNumber::Kind::Integer:
        value.type = Type::Integer;
        value.integer = number->unsignedLongLongValue();
        value.isUnsigned = number->isUnsigned();
        break;
      case NSNumber::Kind::Real:
        value.type = Type::Real;
        value.real = number->doubleValue();
        break;
    }
  } else if (auto* data = dynamic_cast<const NSData*>(object)) {
    value.type = Type::Data;
    value.text = data->bytes();
  } else if (auto* date = dynamic_cast<const NSDate*>(object)) {
    value.type = Type::Date;
    value.real = date->timeIntervalSinceReferenceDate();
  } else if (auto* array = dynamic_cast<const NSArray*>(object)) {
    if (depth >= foundation::propertyListMaximumDepth) return std::nullopt;
    value.type = Type::Array;
    for (auto& item : *array) {
      auto converted = toValue(item.get(), depth + 1);
      if (!converted) return std::nullopt;
      value.append(std::move(*converted));
    }
  } else if (auto* dictionary = dynamic_cast<const NSDictionary*>(object)) {
    if (depth >= foundation::propertyListMaximumDepth) return std::nullopt;
    value.type = Type::Dictionary;
    for (auto& [key, item] : dictionary->entries()) {
      auto converted = toValue(item.get(), depth + 1);
      if (!converted) return std::nullopt;
      value.append(key, std::move(*converted));
    }
  } else {
    return std::nullopt;
  }
  return value;
}

}  // namespace

namespace foundation {

std::size_t maximumBytesForPropertyListFile(std::string_view devicePath) {
  return devicePath.find("/Library/Preferences/") != std::string_view::npos ? preferencesFileMaximumBytes
                                                                             : bundlePropertyListMaximumBytes;
}

}  // namespace foundation

orvane::Result<Retained<NSObject>> readPropertyListFile(std::string_view devicePath, std::size_t maxBytes) {
  auto contents = files::readDeviceFile(devicePath, maxBytes);
  if (!contents) return contents.error();
  foundation::PropertyListLimits limits;
  limits.maxBytes = maxBytes;
  // What is read can be written back as a file of its kind, and read again.
  limits.maxExpandedBytes = maxBytes;
  std::string reason;
  Retained<NSObject> value = NSPropertyListSerialization::propertyListWithData(*contents, limits, &reason);
  if (!value) return orvane::Error(reason);
  return value;
}

Retained<NSObject> NSPropertyListSerialization::propertyListWithData(std::string_view bytes) {
  return propertyListWithData(bytes, foundation::PropertyListLimits{});
}

Retained<NSObject> NSPropertyListSerialization::propertyListWithData(std::string_view bytes,
                                                                    const foundation::PropertyListLimits& limits,
                                                                    std::string* reason) {
  foundation::ParsedPropertyList parsed = foundation::parsePropertyList(bytes, limits);
  if (!parsed.value) {
    if (reason) *reason = std::move(parsed.reason);
    return nullptr;
  }
  return ObjectMaker().make(*parsed.value);
}

std::optional<std::string> NSPropertyListSerialization::xmlDataWithPropertyList(const objc_object* value) {
  auto converted = toValue(value, 0);
  if (!converted) return std::nullopt;
  return foundation::writeXmlPropertyList(*converted);
}

bool NSPropertyListSerialization::isPropertyList(const objc_object* value) { return toValue(value, 0).has_value(); }
