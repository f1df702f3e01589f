// A settings page's specifier list holding the bytes, loaded as the platform
// loads the bundle's lists: never a crash or a hang.
#include "platform/preferences/PSSpecifier.h"
#include "tests/fuzz/FuzzDevice.h"
#include "tests/fuzz/FuzzTarget.h"
#include "tests/fuzz/PropertyListSeeds.h"

namespace {
constexpr const char* listPath = "/Library/PreferenceBundles/Orvane.bundle/Fuzz.plist";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  AutoreleasePool pool;
  fuzzseeds::putDeviceFile(listPath, std::string_view(reinterpret_cast<const char*>(data), size));
  Retained<NSString> title;
  Retained<NSArray> specifiers = SpecifiersFromPlist(listPath, nullptr, &title);
  if (specifiers)
    for (auto& specifier : *specifiers) (void)specifier->description();
  return 0;
}

std::vector<std::string> fuzzSeeds() {
  std::vector<std::string> seeds = fuzzseeds::propertyLists();
  seeds.push_back(
      "<plist><dict><key>title</key><string>Orvane</string><key>items</key><array>"
      "<dict><key>cell</key><string>PSSwitchCell</string><key>key</key><string>isEnabled</string>"
      "<key>default</key><true/><key>label</key><string>ENABLED</string>"
      "<key>PostNotification</key><string>com.quillmark.orvane/settingschanged</string></dict>"
      "<dict><key>cell</key><string>PSLinkListCell</string><key>validValues</key><array><string>Click</string></array>"
      "<key>validTitles</key><array><string>Click</string></array></dict>"
      "<dict><key>cell</key><string>PSNoSuchCell</string></dict><string>not a row</string></array></dict></plist>");
  return seeds;
}
