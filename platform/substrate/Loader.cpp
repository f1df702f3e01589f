#include <dirent.h>
#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/device/Device.h"
#include "platform/device/FileUtilities.h"
#include "platform/foundation/Foundation.h"
#include "platform/foundation/NSLog.h"
#include "platform/substrate/Loader.h"

namespace substrate {
namespace {

constexpr const char* extensionsDirectory = "/Library/MobileSubstrate/DynamicLibraries/";

enum class Verdict { Load, Skip, Malformed };

/// Whether any string of the array satisfies the test; a missing list matches nothing.
template <class Test>
bool anyOf(objc_object* value, bool& malformed, Test test) {
  if (!value) return false;
  auto* list = objc_cast<NSArray>(value);
  if (!list) {
    malformed = true;
    return false;
  }
  for (auto& item : *list) {
    auto* text = objc_cast<NSString>(item.get());
    if (!text) {
      malformed = true;
      return false;
    }
    if (test(text->utf8())) return true;
  }
  return false;
}

Verdict judge(const NSDictionary* filterList, const Host& host, std::string& problem) {
  auto* filter = objc_cast<NSDictionary>(filterList->objectForKey("Filter"));
  if (!filterList->objectForKey("Filter")) return Verdict::Skip;
  if (!filter) {
    problem = "\"Filter\" is not a dictionary";
    return Verdict::Malformed;
  }
  bool malformed = false;
  auto inHost = [](const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
  };
  objc_object* bundles = filter->objectForKey("Bundles");
  objc_object* executables = filter->objectForKey("Executables");
  objc_object* classes = filter->objectForKey("Classes");
  bool bundleMatch = anyOf(bundles, malformed, [&](const std::string& name) { return inHost(host.bundles, name); });
  bool executableMatch = anyOf(executables, malformed, [&](const std::string& name) { return name == host.executable; });
  bool classMatch = anyOf(classes, malformed, [](const std::string& name) { return objc_getClass(name.c_str()) != nullptr; });
  auto* mode = objc_cast<NSString>(filter->objectForKey("Mode"));
  if (malformed || (filter->objectForKey("Mode") && !mode)) {
    problem = "a filter list holds something other than an array of strings";
    return Verdict::Malformed;
  }
  if (mode && mode->utf8() == "All") {
    bool all = (!bundles || bundleMatch) && (!executables || executableMatch) && (!classes || classMatch);
    return all && (bundles || executables || classes) ? Verdict::Load : Verdict::Skip;
  }
  return bundleMatch || executableMatch || classMatch ? Verdict::Load : Verdict::Skip;
}

}  // namespace

std::vector<std::string> loadExtensions(const Host& host) {
  std::vector<std::string> loaded;
  std::string directory = device::hostPath(extensionsDirectory);
  DIR* listing = opendir(directory.c_str());
  if (!listing) return loaded;
  std::vector<std::string> names;
  while (dirent* entry = readdir(listing)) {
    std::string name = entry->d_name;
    if (name.size() > 6 && name.ends_with(".dylib")) names.push_back(name);
  }
  closedir(listing);
  std::sort(names.begin(), names.end());

  for (const std::string& name : names) {
    std::string base = name.substr(0, name.size() - 6);
    std::string devicePath = std::string(extensionsDirectory) + name;
    auto filterFile = readPropertyListFile(std::string(extensionsDirectory) + base + ".plist",
                                           foundation::filterPropertyListMaximumBytes);
    // Without a filter list a library is never loaded.
    if (!filterFile && isAbsentFile(filterFile.error())) continue;
    auto* filterList = filterFile ? objc_cast<NSDictionary>(filterFile->get()) : nullptr;
    std::string problem = filterFile ? "its root is not a dictionary" : filterFile.error().message();
    Verdict verdict = filterList ? judge(filterList, host, problem) : Verdict::Malformed;
    if (verdict == Verdict::Malformed) {
      NSLog("MS:Error: skipping %s: the filter %s%s.plist is malformed: %s", devicePath.c_str(),
            extensionsDirectory, base.c_str(), problem.c_str());
      continue;
    }
    if (verdict == Verdict::Skip) continue;
    NSLog("MS:Notice: Loading: %s", devicePath.c_str());
    if (!dlopen((directory + name).c_str(), RTLD_NOW | RTLD_GLOBAL)) {
      const char* error = dlerror();
      NSLog("MS:Error: dlopen(%s): %s", devicePath.c_str(), error ? error : "unknown error");
      continue;
    }
    loaded.push_back(devicePath);
  }
  return loaded;
}

}  // namespace substrate
