#include "platform/foundation/NSPropertyListSerialization.h"

#include <plist/plist.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/foundation/NSArray.h"
#include "platform/foundation/NSData.h"
#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSDictionary.h"
#include "platform/foundation/NSNumber.h"
#include "platform/foundation/NSString.h"

namespace {

struct PlistFree {
  void operator()(plist_t node) const { plist_free(node); }
};
using PlistNode = std::unique_ptr<void, PlistFree>;

Retained<NSObject> fromNode(plist_t node) {
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      uint8_t value = 0;
      plist_get_bool_val(node, &value);
      return NSNumber::numberWithBool(value != 0);
    }
    case PLIST_UINT: {
      uint64_t value = 0;
      plist_get_uint_val(node, &value);
      return NSNumber::numberWithInteger(static_cast<long long>(value));
    }
    case PLIST_REAL: {
      double value = 0;
      plist_get_real_val(node, &value);
      return NSNumber::numberWithDouble(value);
    }
    case PLIST_STRING:
    case PLIST_KEY: {
      char* text = nullptr;
      if (plist_get_node_type(node) == PLIST_STRING) plist_get_string_val(node, &text);
      else plist_get_key_val(node, &text);
      auto string = NSString::stringWithUTF8String(text ? text : "");
      std::free(text);
      return string;
    }
    case PLIST_DATA: {
      char* bytes = nullptr;
      uint64_t length = 0;
      plist_get_data_val(node, &bytes, &length);
      auto data = NSData::dataWithBytes(std::string_view(bytes ? bytes : "", bytes ? length : 0));
      std::free(bytes);
      return data;
    }
    case PLIST_DATE: {
      int32_t seconds = 0, microseconds = 0;
      plist_get_date_val(node, &seconds, &microseconds);
      return NSDate::dateWithTimeIntervalSinceReferenceDate(seconds + microseconds / 1e6);
    }
    case PLIST_ARRAY: {
      std::vector<Retained<objc_object>> items;
      uint32_t size = plist_array_get_size(node);
      for (uint32_t i = 0; i < size; ++i) {
        auto item = fromNode(plist_array_get_item(node, i));
        if (!item) return nullptr;
        items.push_back(std::move(item));
      }
      return NSArray::arrayWithObjects(std::move(items));
    }
    case PLIST_DICT: {
      auto dictionary = NSMutableDictionary::dictionary();
      plist_dict_iter iterator = nullptr;
      plist_dict_new_iter(node, &iterator);
      for (;;) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(node, iterator, &key, &value);
        if (!key) break;
        auto item = fromNode(value);
        if (item) dictionary->setObject_forKey(item.get(), std::string_view(key));
        std::free(key);
        if (!item) {
          std::free(iterator);
          return nullptr;
        }
      }
      std::free(iterator);
      return dictionary;
    }
    default:
      return nullptr;
  }
}

plist_t toNode(const objc_object* value) {
  if (auto* string = dynamic_cast<const NSString*>(value)) return plist_new_string(string->utf8().c_str());
  if (auto* number = dynamic_cast<const NSNumber*>(value)) {
    switch (number->kind()) {
      case NSNumber::Kind::Boolean: return plist_new_bool(number->boolValue());
      case NSNumber::Kind::Integer: return plist_new_uint(static_cast<uint64_t>(number->integerValue()));
      case NSNumber::Kind::Real: return plist_new_real(number->doubleValue());
    }
  }
  if (auto* data = dynamic_cast<const NSData*>(value)) return plist_new_data(data->bytes().data(), data->length());
  if (auto* date = dynamic_cast<const NSDate*>(value)) {
    double seconds = date->timeIntervalSinceReferenceDate();
    auto whole = static_cast<int32_t>(seconds);
    return plist_new_date(whole, static_cast<int32_t>((seconds - whole) * 1e6));
  }
  if (auto* array = dynamic_cast<const NSArray*>(value)) {
    plist_t node = plist_new_array();
    for (auto& item : *array) {
      plist_t child = toNode(item.get());
      if (!child) {
        plist_free(node);
        return nullptr;
      }
      plist_array_append_item(node, child);
    }
    return node;
  }
  if (auto* dictionary = dynamic_cast<const NSDictionary*>(value)) {
    plist_t node = plist_new_dict();
    for (auto& [key, item] : dictionary->entries()) {
      plist_t child = toNode(item.get());
      if (!child) {
        plist_free(node);
        return nullptr;
      }
      plist_dict_set_item(node, key.c_str(), child);
    }
    return node;
  }
  return nullptr;
}

bool looksLikePropertyList(std::string_view bytes) {
  if (bytes.starts_with("bplist00")) return true;
  // Skip a byte-order mark and white space; an XML property list starts with markup.
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  while (!bytes.empty() && std::strchr(" \t\r\n", bytes.front())) bytes.remove_prefix(1);
  return bytes.starts_with("<");
}

}  // namespace

Retained<NSObject> NSPropertyListSerialization::propertyListWithData(std::string_view bytes) {
  if (bytes.empty() || bytes.size() > UINT32_MAX || !looksLikePropertyList(bytes)) return nullptr;
  plist_t root = nullptr;
  if (bytes.starts_with("bplist00")) plist_from_bin(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
  else plist_from_xml(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
  if (!root) return nullptr;
  PlistNode owner(root);
  return fromNode(root);
}

std::optional<std::string> NSPropertyListSerialization::xmlDataWithPropertyList(const objc_object* value) {
  plist_t root = toNode(value);
  if (!root) return std::nullopt;
  PlistNode owner(root);
  char* xml = nullptr;
  uint32_t length = 0;
  plist_to_xml(root, &xml, &length);
  if (!xml) return std::nullopt;
  std::string text(xml, length);
  plist_to_xml_free(xml);
  return text;
}

bool NSPropertyListSerialization::isPropertyList(const objc_object* value) {
  plist_t root = toNode(value);
  if (!root) return false;
  plist_free(root);
  return true;
}
