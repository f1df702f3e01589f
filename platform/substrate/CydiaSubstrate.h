#pragma once

#include <string>
#include <vector>

#include "platform/objc/runtime.h"

extern "C" {
/// Makes sends of `message` to instances of `_class` reach `hook`. `*old`
/// receives what such a send reached before (null when nothing was hooked:
/// a null class, or a selector no class in the chain answers). A method the
/// class only inherits is hooked on the class itself, and `*old` then follows
/// whatever the superclass answers at the time of each call.
void MSHookMessageEx(Class _class, SEL message, IMP hook, IMP* old);
}

namespace substrate {

/// What the loader's filters match a host against.
struct Host {
  std::string executable;
  /// Identifiers of the bundles loaded in the host, its own first.
  std::vector<std::string> bundles;
};

/// Loads, with the dynamic loader, each library in
/// "/Library/MobileSubstrate/DynamicLibraries/" whose filter property list
/// beside it matches the host, in name order. Problems are reported on
/// standard error and the library is skipped. Returns the device paths loaded.
std::vector<std::string> loadExtensions(const Host& host);

}  // namespace substrate
