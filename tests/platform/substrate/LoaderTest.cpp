#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "platform/objc/NSObject.h"
#include "platform/substrate/Loader.h"
#include "tests/support/TemporaryDevice.h"

using testsupport::readFile;
using testsupport::writeFile;

namespace {

std::string filter(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>" + body + "</dict></plist>\n";
}

std::string list(const char* key, std::initializer_list<const char*> names) {
  std::string body = std::string("<key>") + key + "</key><array>";
  for (auto* name : names) body += std::string("<string>") + name + "</string>";
  return body + "</array>";
}

class Loader : public ::testing::Test {
 protected:
  void SetUp() override { setenv("ORVANE_TEST_LOADER_LOG", log().c_str(), 1); }

  void addExtension(const std::string& name, const std::optional<std::string>& filterList) {
    std::string directory = device.host("/Library/MobileSubstrate/DynamicLibraries/");
    std::filesystem::copy_file(ORVANE_TEST_EXTENSION, directory + name + ".dylib");
    if (filterList) writeFile(directory + name + ".plist", *filterList);
  }
  std::string log() const { return device.root() + "/loaded.txt"; }
  std::vector<std::string> load() {
    return substrate::loadExtensions({"SpringBoard", {"com.apple.springboard", "com.apple.UIKit"}});
  }

  testsupport::TemporaryDevice device;
};

}  // namespace

TEST_F(Loader, LoadsMatchingLibrariesInNameOrderAndSkipsTheOthers) {
  Class marker = objc_allocateClassPair(NSObject::class_(), "SBMarker", 0);
  objc_registerClassPair(marker);
  addExtension("Bravo", filter("<key>Filter</key><dict>" + list("Executables", {"SpringBoard"}) + "</dict>"));
  addExtension("Alpha", filter("<key>Filter</key><dict>" + list("Bundles", {"com.apple.springboard"}) + "</dict>"));
  addExtension("Charlie", filter("<key>Filter</key><dict>" + list("Classes", {"SBMarker"}) + "</dict>"));
  addExtension("Delta", filter("<key>Filter</key><dict>" + list("Bundles", {"com.apple.mobilesafari"}) + "</dict>"));
  addExtension("Echo", std::nullopt);
  addExtension("Foxtrot", filter("<key>Name</key><string>no filter at all</string>"));
  addExtension("Golf", filter("<key>Filter</key><dict><key>Mode</key><string>All</string>" +
                              list("Bundles", {"com.apple.springboard"}) + list("Executables", {"Preferences"}) + "</dict>"));
  auto loaded = load();
  EXPECT_EQ(readFile(log()), "Alpha.dylib\nBravo.dylib\nCharlie.dylib\n");
  EXPECT_EQ(loaded.size(), 3u);
  EXPECT_EQ(loaded.front(), "/Library/MobileSubstrate/DynamicLibraries/Alpha.dylib");
}

TEST_F(Loader, MalformedFiltersAndBrokenLibrariesAreReportedAndSkipped) {
  addExtension("Alpha", std::string("this is no property list"));
  addExtension("Bravo", filter("<key>Filter</key><dict><key>Bundles</key><string>com.apple.springboard</string></dict>"));
  addExtension("Charlie", filter("<key>Filter</key><dict>" + list("Bundles", {"com.apple.springboard"}) + "</dict>"));
  std::string directory = device.host("/Library/MobileSubstrate/DynamicLibraries/");
  writeFile(directory + "Broken.dylib", "not a library");
  writeFile(directory + "Broken.plist", filter("<key>Filter</key><dict>" + list("Bundles", {"com.apple.UIKit"}) + "</dict>"));

  testing::internal::CaptureStderr();
  auto loaded = load();
  std::string errors = testing::internal::GetCapturedStderr();
  EXPECT_EQ(readFile(log()), "Charlie.dylib\n");
  EXPECT_NE(errors.find("Alpha.plist is malformed"), std::string::npos) << errors;
  EXPECT_NE(errors.find("Bravo.plist is malformed"), std::string::npos) << errors;
  EXPECT_NE(errors.find("dlopen(/Library/MobileSubstrate/DynamicLibraries/Broken.dylib)"), std::string::npos) << errors;
}

TEST_F(Loader, NoExtensionsDirectoryLoadsNothing) {
  std::filesystem::remove_all(device.host("/Library/MobileSubstrate"));
  EXPECT_TRUE(load().empty());
}
