#include "platform/foundation/PropertyListDescription.h"

#include "platform/foundation/NSArray.h"
#include "platform/foundation/NSDictionary.h"
#include "platform/foundation/NSString.h"

namespace foundation {
namespace {

std::string quoted(const std::string& text) {
  bool plain = !text.empty();
  for (unsigned char c : text)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '.' ||
          c == '$' || c == '/' || c == ':'))
      plain = false;
  if (plain) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    out += c;
  }
  return out + "\"";
}

}  // namespace

std::string describeNested(const objc_object* value, int level) {
  std::string indent(static_cast<std::size_t>(level) * 4, ' ');
  std::string inner(static_cast<std::size_t>(level + 1) * 4, ' ');
  if (auto* array = dynamic_cast<const NSArray*>(value)) {
    std::string out = "(\n";
    for (std::size_t i = 0; i < array->count(); ++i) {
      out += inner + describeNested(array->objects()[i].get(), level + 1);
      out += i + 1 < array->count() ? ",\n" : "\n";
    }
    return out + indent + ")";
  }
  if (auto* dictionary = dynamic_cast<const NSDictionary*>(value)) {
    std::string out = "{\n";
    for (auto& [key, item] : dictionary->entries())
      out += inner + quoted(key) + " = " + describeNested(item.get(), level + 1) + ";\n";
    return out + indent + "}";
  }
  if (level > 0)
    if (auto* string = dynamic_cast<const NSString*>(value)) return quoted(string->utf8());
  return describe(value);
}

}  // namespace foundation
