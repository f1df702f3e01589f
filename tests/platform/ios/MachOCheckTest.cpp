#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/platform/ios/MachO.h"

using machocheck::MachOFile;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::UnorderedElementsAre;

namespace {

const std::filesystem::path iosBuild = ORVANE_IOS_BUILD_DIR;

struct Variant {
  std::string name;
  std::string root;
  std::string architecture;
};

std::string printVariant(const testing::TestParamInfo<Variant>& info) { return info.param.name; }
void PrintTo(const Variant& variant, std::ostream* stream) { *stream << variant.name; }

const std::vector<Variant> variants = {{"rootful", "", "iphoneos-arm"}, {"rootless", "/var/jb", "iphoneos-arm64"}};

std::filesystem::path variantFolder(const Variant& variant) { return iosBuild / variant.name; }

MachOFile readHook(const Variant& variant) {
  std::filesystem::path path = variantFolder(variant) / "Orvane.dylib";
  if (!std::filesystem::exists(path)) throw std::runtime_error(path.string() + " is missing: run scripts/build --ios");
  return MachOFile::read(path);
}

/// The Mach-O files a variant ships.
std::vector<MachOFile> readBinaries(const Variant& variant) {
  std::vector<MachOFile> files{readHook(variant)};
  std::filesystem::path bundle = variantFolder(variant) / "Orvane.bundle" / "Orvane";
  if (std::filesystem::exists(bundle)) files.push_back(MachOFile::read(bundle));
  return files;
}

std::string run(const std::string& command) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::string output;
  char buffer[4096];
  while (pipe && std::fgets(buffer, sizeof buffer, pipe.get())) output += buffer;
  return output;
}

class HookLibrary : public testing::TestWithParam<Variant> {};
INSTANTIATE_TEST_SUITE_P(Variants, HookLibrary, testing::ValuesIn(variants), printVariant);

TEST_P(HookLibrary, IsAnArm64DylibForIOS7UnderItsInstallName) {
  MachOFile hook = readHook(GetParam());
  EXPECT_EQ(hook.fileType, machocheck::MH_DYLIB);
  EXPECT_EQ(hook.cpuType, machocheck::CPU_TYPE_ARM64);
  EXPECT_EQ(hook.minimumIOS, "7.0");
  EXPECT_TRUE(hook.flags & machocheck::MH_TWOLEVEL);
  EXPECT_EQ(hook.installName, GetParam().root + "/Library/MobileSubstrate/DynamicLibraries/Orvane.dylib");
}

TEST_P(HookLibrary, LoadsTheSystemLibrariesAndTheSubstrateOfItsRoot) {
  MachOFile hook = readHook(GetParam());
  bool rootless = !GetParam().root.empty();
  std::string substrate = rootless ? "@rpath/CydiaSubstrate.framework/CydiaSubstrate"
                                   : "/Library/Frameworks/CydiaSubstrate.framework/CydiaSubstrate";
  EXPECT_THAT(hook.loadedLibraries,
              UnorderedElementsAre("/usr/lib/libobjc.A.dylib", "/usr/lib/libc++.1.dylib", "/usr/lib/libSystem.B.dylib",
                                   "/System/Library/Frameworks/CoreFoundation.framework/CoreFoundation",
                                   "/System/Library/Frameworks/Foundation.framework/Foundation",
                                   "/System/Library/Frameworks/AudioToolbox.framework/AudioToolbox", substrate));
  if (rootless) EXPECT_THAT(hook.runPaths, ElementsAre("/var/jb/Library/Frameworks"));
  else EXPECT_THAT(hook.runPaths, IsEmpty());
}

TEST_P(HookLibrary, ImportsOnlyWhatEachLibraryExportsOnIOS7) {
  MachOFile hook = readHook(GetParam());
  EXPECT_THAT(hook.imports, testing::Not(IsEmpty()));
  EXPECT_THAT(unlistedImports(hook, machocheck::readStubs(variantFolder(GetParam()) / "stubs")), IsEmpty());
}

TEST_P(HookLibrary, ExportsExactlyTheSnapshot) {
  EXPECT_THAT(readHook(GetParam()).exports,
              UnorderedElementsAre("_kEnabled", "_kSelectedVolumeIncreaseSound", "_kSelectedVolumeDecreaseSound"));
}

TEST_P(HookLibrary, HasOneInitialiserThatLoadsTheSnapshotBeforeHooking) {
  // Initialisers of different object files run in link order, so there is
  // one, which calls start-up and then the hook installer.
  EXPECT_THAT(readHook(GetParam()).initialisers, ElementsAre("__ZL17initialiseLibraryv"));
}

TEST_P(HookLibrary, EveryPageMatchesItsSignature) {
  EXPECT_THAT(codeSignatureFaults(readHook(GetParam())), IsEmpty());
}

class SettingsBundle : public testing::TestWithParam<Variant> {
 protected:
  void SetUp() override {
    path_ = variantFolder(GetParam()) / "Orvane.bundle" / "Orvane";
    if (!std::filesystem::exists(path_)) GTEST_SKIP() << "the settings bundle is not built for the device";
  }
  std::filesystem::path path_;
};
INSTANTIATE_TEST_SUITE_P(Variants, SettingsBundle, testing::ValuesIn(variants), printVariant);

TEST_P(SettingsBundle, IsAnArm64BundleForIOS7ThatExportsNothing) {
  // The Settings app finds the principal class through the runtime: the
  // classes are made when the bundle loads, so no symbol is needed.
  MachOFile bundle = MachOFile::read(path_);
  EXPECT_EQ(bundle.fileType, machocheck::MH_BUNDLE);
  EXPECT_EQ(bundle.cpuType, machocheck::CPU_TYPE_ARM64);
  EXPECT_EQ(bundle.minimumIOS, "7.0");
  EXPECT_TRUE(bundle.flags & machocheck::MH_TWOLEVEL);
  EXPECT_EQ(bundle.installName, "");
  EXPECT_THAT(bundle.exports, IsEmpty());
}

TEST_P(SettingsBundle, ImportsOnlyWhatEachLibraryExportsOnIOS7) {
  MachOFile bundle = MachOFile::read(path_);
  EXPECT_THAT(unlistedImports(bundle, machocheck::readStubs(variantFolder(GetParam()) / "stubs")), IsEmpty());
  for (const std::string& library : bundle.loadedLibraries) {
    EXPECT_TRUE(library.starts_with("/usr/lib/") || library.starts_with("/System/Library/")) << library;
  }
}

TEST_P(SettingsBundle, PlaysNoSoundAndAdoptsTheMailDelegateProtocolThroughTheRuntime) {
  MachOFile bundle = MachOFile::read(path_);
  EXPECT_THAT(bundle.loadedLibraries,
              testing::Not(testing::Contains("/System/Library/Frameworks/AudioToolbox.framework/AudioToolbox")));
  std::set<std::string> fromRuntime;
  for (const auto& import : bundle.imports)
    if (import.library == "/usr/lib/libobjc.A.dylib") fromRuntime.insert(import.symbol);
  EXPECT_TRUE(fromRuntime.contains("_objc_getProtocol"));
  EXPECT_TRUE(fromRuntime.contains("_class_addProtocol"));
}

TEST_P(SettingsBundle, EveryPageMatchesItsSignature) { EXPECT_THAT(codeSignatureFaults(MachOFile::read(path_)), IsEmpty()); }

class DeviceBinaries : public testing::TestWithParam<Variant> {};
INSTANTIATE_TEST_SUITE_P(Variants, DeviceBinaries, testing::ValuesIn(variants), printVariant);

TEST_P(DeviceBinaries, StubsListNothingTheBinariesDoNotImport) {
  // The stubs double as the record of what each library must export on iOS 7
  // and later; an entry nothing uses would claim more than we checked.
  machocheck::ExportLists listed = machocheck::readStubs(variantFolder(GetParam()) / "stubs");
  machocheck::ExportLists imported;
  for (const MachOFile& file : readBinaries(GetParam())) {
    for (const auto& import : file.imports) imported[import.library].insert(import.symbol);
  }
  for (const auto& [library, symbols] : listed) {
    for (const std::string& symbol : symbols) {
      EXPECT_TRUE(imported[library].contains(symbol)) << symbol << " is listed for " << library << " but not imported";
    }
  }
}

class DevicePackage : public testing::TestWithParam<Variant> {};
INSTANTIATE_TEST_SUITE_P(Variants, DevicePackage, testing::ValuesIn(variants), printVariant);

TEST_P(DevicePackage, InstallsEverythingUnderItsRootWhereTheBinariesLookForIt) {
  const Variant& variant = GetParam();
  std::filesystem::path deb =
      iosBuild / fmt::format("com.quillmark.orvane_{}_{}.deb", ORVANE_VERSION, variant.architecture);
  ASSERT_TRUE(std::filesystem::exists(deb)) << deb;
  EXPECT_EQ(run(fmt::format("dpkg-deb -f '{}' Package Architecture Depends", deb.string())),
            fmt::format("Package: com.quillmark.orvane\nArchitecture: {}\nDepends: mobilesubstrate, preferenceloader\n",
                        variant.architecture));
  // The maintainer script runs on the device, by its own shell under the root.
  std::string postrm = run(fmt::format("dpkg-deb -I '{}' postrm", deb.string()));
  EXPECT_TRUE(postrm.starts_with("#!" + variant.root + "/bin/sh\n")) << postrm;
  EXPECT_NE(postrm.find("/var/mobile/Library/Preferences/com.quillmark.orvane.plist"), std::string::npos);
  std::string listing = run(fmt::format("dpkg-deb -c '{}'", deb.string()));
  std::vector<std::string> files;
  for (std::size_t start = 0, end; (end = listing.find('\n', start)) != std::string::npos; start = end + 1) {
    std::string line = listing.substr(start, end - start);
    if (line.starts_with('-')) files.push_back(line.substr(line.find("./") + 1));
  }
  for (const std::string& file : files) EXPECT_TRUE(file.starts_with(variant.root + "/")) << file;
  auto has = [&](const std::string& path) { return std::find(files.begin(), files.end(), path) != files.end(); };
  EXPECT_TRUE(has(readHook(variant).installName));
  EXPECT_TRUE(has(variant.root + "/Library/MobileSubstrate/DynamicLibraries/Orvane.plist"));
  EXPECT_TRUE(has(variant.root + "/Library/Application Support/Orvane/Mac Volume Change.wav"));
  if (std::filesystem::exists(variantFolder(variant) / "Orvane.bundle" / "Orvane")) {
    std::string bundle = variant.root + "/Library/PreferenceBundles/Orvane.bundle/";
    for (const char* file : {"Orvane", "Info.plist", "Orvane.plist", "OrvaneConfiguration.plist", "OrvaneMakers.plist",
                             "en.lproj/Localizable.strings", "de.lproj/Localizable.strings", "headerLogo@2x.png",
                             "footerLogo@2x.png"}) {
      EXPECT_TRUE(has(bundle + file)) << bundle + file;
    }
    EXPECT_TRUE(has(variant.root + "/Library/PreferenceLoader/Preferences/Orvane.plist"));
  }
}

TEST(MachOChecker, NamesAnImportMissingFromItsLibrarysList) {
  MachOFile hook = readHook(variants[0]);
  machocheck::ExportLists lists = machocheck::readStubs(variantFolder(variants[0]) / "stubs");
  ASSERT_EQ(lists["/usr/lib/libobjc.A.dylib"].erase("_objc_msgSend"), 1u);
  EXPECT_THAT(unlistedImports(hook, lists),
              ElementsAre("_objc_msgSend from /usr/lib/libobjc.A.dylib: not on that library's list"));
}

TEST(MachOChecker, FindsAPageChangedAfterSigning) {
  MachOFile hook = readHook(variants[0]);
  std::vector<std::uint8_t> bytes = hook.bytes;
  bytes[28] ^= 0x5a;  // the header's reserved word: the file still reads the same
  std::vector<std::string> faults = codeSignatureFaults(MachOFile::parse(bytes));
  ASSERT_EQ(faults.size(), 1u);
  EXPECT_THAT(faults[0], HasSubstr("page 0 (bytes 0x0 to"));
  EXPECT_THAT(faults[0], HasSubstr("does not match its hash"));
}

TEST(MachOChecker, RefusesFilesCutShort) {
  MachOFile hook = readHook(variants[0]);
  for (std::size_t size : {std::size_t(0), std::size_t(40), std::size_t(200)}) {
    std::vector<std::uint8_t> head(hook.bytes.begin(), hook.bytes.begin() + size);
    EXPECT_THROW(MachOFile::parse(head), machocheck::MalformedFile) << size;
  }
  std::vector<std::uint8_t> unsigned_(hook.bytes.begin(), hook.bytes.begin() + hook.codeSignatureOffset + 16);
  EXPECT_THAT(codeSignatureFaults(MachOFile::parse(unsigned_)), testing::Not(IsEmpty()));
}

}  // namespace
