#include "sim/orvane-sim/PageKeys.h"

#include <algorithm>
#include <filesystem>

#include "contract/Orvane.h"
#include "platform/device/Device.h"
#include "platform/foundation/Foundation.h"

namespace pagekeys {
namespace {

constexpr const char* bundle = orvane::contract::bundlePath.c_str();

std::string text(const NSDictionary* dictionary, const char* key) {
  auto* value = objc_cast<NSString>(dictionary->objectForKey(key));
  return value ? value->utf8() : std::string();
}

}  // namespace

std::vector<Key> installed() {
  std::vector<Key> keys;
  std::error_code error;
  std::vector<std::string> lists;
  for (const auto& entry : std::filesystem::directory_iterator(device::hostPath(bundle), error))
    if (entry.path().extension() == ".plist" && entry.path().filename() != "Info.plist")
      lists.push_back(entry.path().filename().string());
  std::sort(lists.begin(), lists.end());
  for (const auto& list : lists) {
    std::string path = std::string(bundle) + "/" + list;
    auto file = readPropertyListFile(path, foundation::bundlePropertyListMaximumBytes);
    auto* root = file ? objc_cast<NSDictionary>(file->get()) : nullptr;
    auto* items = root ? objc_cast<NSArray>(root->objectForKey("items")) : nullptr;
    if (!items) continue;
    for (const auto& item : *items) {
      auto* specifier = objc_cast<NSDictionary>(item.get());
      if (!specifier) continue;
      std::string name = text(specifier, "key");
      if (name.empty() || std::any_of(keys.begin(), keys.end(), [&](const Key& key) { return key.name == name; }))
        continue;
      keys.push_back({name, text(specifier, "default"), text(specifier, "valuesDataSource") == "themeValues"});
    }
  }
  return keys;
}

std::vector<std::string> names(const std::vector<Key>& keys) {
  std::vector<std::string> all;
  for (const auto& key : keys) all.push_back(key.name);
  return all;
}

}  // namespace pagekeys
