#include "prefs/resources/ContractCheck.h"

#include <fmt/format.h>

#include <set>
#include <string_view>

#include "contract/Orvane.h"
#include "platform/propertylist/PropertyListFormat.h"

namespace contractcheck {
namespace {

using foundation::PropertyListValue;
namespace contract = orvane::contract;

const PropertyListValue* member(const PropertyListValue& dictionary, std::string_view key) {
  if (dictionary.type != PropertyListValue::Type::Dictionary) return nullptr;
  for (std::size_t index = 0; index < dictionary.keys.size(); ++index)
    if (dictionary.keys[index] == key) return dictionary.items[index].get();
  return nullptr;
}

std::string describe(const PropertyListValue* value) {
  if (!value) return "none";
  switch (value->type) {
    case PropertyListValue::Type::Boolean:
      return value->boolean ? "<true/>" : "<false/>";
    case PropertyListValue::Type::String:
      return '"' + value->text + '"';
    default:
      return "a value that is neither a Boolean nor a string";
  }
}

/// Why the row's default differs from what the hook library takes for an absent key; empty when it agrees.
std::string defaultProblem(std::string_view key, const PropertyListValue* shown) {
  if (key == contract::enabledKey) {
    bool agrees =
        shown && shown->type == PropertyListValue::Type::Boolean && shown->boolean == contract::enabledWhenAbsent;
    if (!agrees)
      return fmt::format("default is {}, but a file without the key plays sounds: <{}/>", describe(shown),
                         contract::enabledWhenAbsent ? "true" : "false");
  } else if (!shown || shown->type != PropertyListValue::Type::String || shown->text != contract::defaultTheme.view()) {
    return fmt::format("default is {}, but a button without a stored theme plays \"{}\"", describe(shown),
                       contract::defaultTheme.view());
  }
  return {};
}

}  // namespace

std::vector<std::string> problems(const std::vector<SpecifierList>& lists) {
  const std::set<std::string_view> keys = {contract::enabledKey, contract::increaseSoundKey,
                                           contract::decreaseSoundKey};
  std::set<std::string_view> stored;
  std::vector<std::string> found;
  for (const SpecifierList& list : lists) {
    foundation::ParsedPropertyList parsed = foundation::parsePropertyList(list.bytes, {});
    if (!parsed.value) {
      found.push_back(fmt::format("{}: cannot be read: {}", list.file, parsed.reason));
      continue;
    }
    const PropertyListValue* items = member(*parsed.value, "items");
    if (!items || items->type != PropertyListValue::Type::Array) continue;
    for (std::size_t row = 0; row < items->items.size(); ++row) {
      const PropertyListValue& specifier = items->item(row);
      const PropertyListValue* key = member(specifier, "key");
      const PropertyListValue* notification = member(specifier, "PostNotification");
      if (!key && !notification) continue;
      std::string where = fmt::format("{}: row {}", list.file, row);
      if (!key || key->type != PropertyListValue::Type::String) {
        found.push_back(where + ": announces a change but stores no key");
        continue;
      }
      where += " (" + key->text + ")";
      auto known = keys.find(key->text);
      if (known == keys.end()) {
        found.push_back(fmt::format("{}: the key is not one of the preferences file's ({}, {}, {})", where,
                                    contract::enabledKey.view(), contract::increaseSoundKey.view(),
                                    contract::decreaseSoundKey.view()));
        continue;
      }
      stored.insert(*known);
      if (!notification || notification->type != PropertyListValue::Type::String ||
          notification->text != contract::settingsChanged.view())
        found.push_back(fmt::format("{}: PostNotification is {}, but the hook library reloads on \"{}\"", where,
                                    describe(notification), contract::settingsChanged.view()));
      if (std::string problem = defaultProblem(key->text, member(specifier, "default")); !problem.empty())
        found.push_back(where + ": " + problem);
    }
  }
  for (std::string_view key : keys)
    if (!stored.contains(key))
      found.push_back(fmt::format("no row stores {}: Settings could never change it", key));
  return found;
}

}  // namespace contractcheck
