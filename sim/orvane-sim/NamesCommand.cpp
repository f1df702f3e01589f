// names themes|keys|pages|packages: what shell completion offers of the device.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>

#include "contract/Orvane.h"
#include "platform/device/Device.h"
#include "platform/foundation/Foundation.h"
#include "sim/common/Package.h"
#include "sim/orvane-sim/Commands.h"
#include "sim/orvane-sim/PageKeys.h"
#include "sim/orvane-sim/Themes.h"

namespace commands {
namespace {

std::vector<std::string> keyNames() {
  std::vector<std::string> keys = pagekeys::names(pagekeys::installed());
  std::string path = device::preferencesFile(orvane::contract::domain);
  auto file = readPropertyListFile(path, foundation::maximumBytesForPropertyListFile(path));
  if (auto* stored = file ? objc_cast<NSDictionary>(file->get()) : nullptr)
    for (const auto& [key, value] : stored->entries())
      if (std::find(keys.begin(), keys.end(), key) == keys.end()) keys.push_back(key);
  return keys;
}

std::vector<std::string> packageNames() {
  std::vector<std::string> installed;
  for (const auto& listed : package::installedPackages(device::root())) installed.push_back(listed.id);
  std::sort(installed.begin(), installed.end());
  return installed;
}

}  // namespace

int names(const Invocation& invocation) {
  const std::string& kind = invocation.arguments[0];
  if (int status = requireDevice()) return status;
  if (kind == "pages") return runHost("Preferences", {"paths", "--"});
  std::vector<std::string> found = kind == "themes" ? themes::installedNames()
                                   : kind == "keys" ? keyNames()
                                                    : packageNames();
  for (const auto& name : found) std::printf("%s\n", name.c_str());
  return 0;
}

}  // namespace commands
