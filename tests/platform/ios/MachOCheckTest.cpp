#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <regex>
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

std::filesystem::path packageFile(const Variant& variant) {
  return iosBuild / fmt::format("com.quillmark.orvane_{}_{}.deb", ORVANE_VERSION, variant.architecture);
}

/// The rootless package is built only on request (`scripts/build --ios --rootless`).
class VariantTest : public testing::TestWithParam<Variant> {
 protected:
  void SetUp() override {
    if (GetParam().name == "rootless" && !std::filesystem::exists(packageFile(GetParam()))) {
      GTEST_SKIP() << "the rootless package is built only by scripts/build --ios --rootless";
    }
  }
};

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

class HookLibrary : public VariantTest {};
INSTANTIATE_TEST_SUITE_P(Variants, HookLibrary, testing::ValuesIn(variants), printVariant);

TEST_P(HookLibrary, IsAnArm64DylibForIOS7UnderItsInstallName) {
  MachOFile hook = readHook(GetParam());
  EXPECT_EQ(hook.fileType, machocheck::MH_DYLIB);
  EXPECT_EQ(hook.cpuType, machocheck::CPU_TYPE_ARM64);
  // Plain arm64, which A7 to A11 run; an arm64e slice cannot be made here.
  EXPECT_EQ(hook.cpuSubtype, machocheck::CPU_SUBTYPE_ARM64_ALL);
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

TEST_P(HookLibrary, IsSignedSoThatIOS7AndLaterLoadIt) {
  MachOFile hook = readHook(GetParam());
  EXPECT_THAT(codeSignatureFaults(hook, "Orvane.dylib"), IsEmpty());
  for (const std::string& line : describeSignature(hook)) std::cout << line << "\n";
}

class SettingsBundle : public VariantTest {
 protected:
  void SetUp() override {
    VariantTest::SetUp();
    if (IsSkipped()) return;
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
  EXPECT_EQ(bundle.cpuSubtype, machocheck::CPU_SUBTYPE_ARM64_ALL);
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

TEST_P(SettingsBundle, IsSignedSoThatIOS7AndLaterLoadIt) {
  MachOFile bundle = MachOFile::read(path_);
  EXPECT_THAT(codeSignatureFaults(bundle, "Orvane"), IsEmpty());
  for (const std::string& line : describeSignature(bundle)) std::cout << line << "\n";
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

class DeviceBinaries : public VariantTest {};
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

TEST_P(DeviceBinaries, CarryUnwindTables) {
  // An Objective-C exception raised below a frame of ours unwinds through it
  // to a handler above only by these tables.
  for (const MachOFile& file : readBinaries(GetParam())) {
    EXPECT_TRUE(file.hasSection("__TEXT", "__unwind_info")) << (file.installName.empty() ? "the bundle" : file.installName);
  }
}

class DevicePackage : public VariantTest {
 protected:
  /// The package unpacked into a folder of its own, removed afterwards.
  std::filesystem::path unpack() {
    if (unpacked_.empty()) {
      char folder[] = "/tmp/orvane-deb-XXXXXX";
      if (!mkdtemp(folder)) throw std::runtime_error("mkdtemp failed");
      unpacked_ = folder;
      run(fmt::format("dpkg-deb -x '{}' '{}'", packageFile(GetParam()).string(), unpacked_.string()));
    }
    return unpacked_ / GetParam().root.substr(GetParam().root.empty() ? 0 : 1);
  }
  void TearDown() override {
    if (!unpacked_.empty()) std::filesystem::remove_all(unpacked_);
  }
  std::filesystem::path unpacked_;
};
INSTANTIATE_TEST_SUITE_P(Variants, DevicePackage, testing::ValuesIn(variants), printVariant);

TEST_P(DevicePackage, InstallsEverythingUnderItsRootWhereTheBinariesLookForIt) {
  const Variant& variant = GetParam();
  std::filesystem::path deb = packageFile(variant);
  ASSERT_TRUE(std::filesystem::exists(deb)) << deb;
  EXPECT_EQ(run(fmt::format("dpkg-deb -f '{}' Package Architecture", deb.string())),
            fmt::format("Package: com.quillmark.orvane\nArchitecture: {}\n", variant.architecture));
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
                             "en.lproj/Localizable.strings", "de.lproj/Localizable.strings"}) {
      EXPECT_TRUE(has(bundle + file)) << bundle + file;
    }
    EXPECT_TRUE(has(variant.root + "/Library/PreferenceLoader/Preferences/Orvane.plist"));
  }
}

TEST_P(DevicePackage, TellsPackageManagersWhereItLoadsAndWhatItIs) {
  const Variant& variant = GetParam();
  std::string deb = packageFile(variant).string();
  std::string depends = fmt::format("firmware (>= {}), mobilesubstrate, preferenceloader", readHook(variant).minimumIOS);
  // The rootful architecture is 32-bit devices' too; Cydia's cy+cpu.arm64 is on 64-bit ones only.
  if (variant.root.empty()) depends += ", cy+cpu.arm64";
  EXPECT_EQ(run(fmt::format("dpkg-deb -f '{}' Depends", deb)), depends + "\n");
  for (const char* field : {"Name", "Author", "Maintainer", "Section", "Description"}) {
    EXPECT_THAT(run(fmt::format("dpkg-deb -f '{}' {}", deb, field)), testing::MatchesRegex("[^ \n][^\n]*\n(.|\n)*"))
        << field;
  }
}

TEST_P(DevicePackage, ShipsEveryImageTheSettingsAskForAtEveryScale) {
  // The pages ask for "merrow.png" and the like by exact name; the plain name
  // is the 1x image, and the system takes @2x and @3x beside it for its screen.
  std::filesystem::path root = unpack();
  std::filesystem::path bundle = root / "Library/PreferenceBundles/Orvane.bundle";
  if (!std::filesystem::exists(bundle / "Orvane")) GTEST_SKIP() << "the settings bundle is not built for the device";
  std::set<std::string> names;
  auto add = [&](std::string name) {
    name = name.substr(name.find_last_of('/') + 1);
    if (name.ends_with(".png")) name.resize(name.size() - 4);
    names.insert(name);
  };
  const std::regex imageKey("<key>(devImage|icon|image)</key>\\s*<string>([^<]+)</string>");
  std::vector<std::filesystem::path> lists{root / "Library/PreferenceLoader/Preferences/Orvane.plist"};
  for (const auto& entry : std::filesystem::directory_iterator(bundle)) {
    if (entry.path().extension() == ".plist") lists.push_back(entry.path());
  }
  for (const std::filesystem::path& list : lists) {
    std::ifstream stream(list);
    std::string text((std::istreambuf_iterator<char>(stream)), {});
    for (std::sregex_iterator match(text.begin(), text.end(), imageKey), end; match != end; ++match) add((*match)[2]);
  }
  for (const std::string& text : MachOFile::read(bundle / "Orvane").cStrings()) {
    if (text.ends_with(".png")) add(text);
  }
  EXPECT_THAT(names, testing::IsSupersetOf({"icon", "headerLogo", "footerLogo", "merrow", "quillmark"}));
  for (const std::string& name : names) {
    for (const char* scale : {"", "@2x", "@3x"}) {
      EXPECT_TRUE(std::filesystem::exists(bundle / (name + scale + ".png"))) << name + scale + ".png";
    }
  }
}

TEST(MachOChecker, NamesAnImportMissingFromItsLibrarysList) {
  MachOFile hook = readHook(variants[0]);
  machocheck::ExportLists lists = machocheck::readStubs(variantFolder(variants[0]) / "stubs");
  ASSERT_EQ(lists["/usr/lib/libobjc.A.dylib"].erase("_objc_msgSend"), 1u);
  EXPECT_THAT(unlistedImports(hook, lists),
              ElementsAre("_objc_msgSend from /usr/lib/libobjc.A.dylib: not on that library's list"));
}

/// The file offset of the blob in the SuperBlob's index entry `entry`.
std::size_t blobAt(const MachOFile& file, int entry) {
  const std::uint8_t* index = file.bytes.data() + file.codeSignatureOffset + 12 + 8 * entry;
  return file.codeSignatureOffset + (std::size_t(index[4]) << 24 | index[5] << 16 | index[6] << 8 | index[7]);
}

TEST(MachOChecker, FindsAPageChangedAfterSigningInBothDirectories) {
  MachOFile hook = readHook(variants[0]);
  std::vector<std::uint8_t> bytes = hook.bytes;
  bytes[28] ^= 0x5a;  // the header's reserved word: the file still reads the same
  EXPECT_THAT(codeSignatureFaults(MachOFile::parse(bytes), "Orvane.dylib"),
              ElementsAre(HasSubstr("(slot 0): page 0 (bytes 0x0 to 0x1000) does not match its hash"),
                          HasSubstr("(slot 0x1000): page 0 (bytes 0x0 to 0x1000) does not match its hash")));
  bytes = hook.bytes;
  bytes[hook.codeSignatureOffset - 1] ^= 1;  // the last signed byte, in a partial page
  EXPECT_THAT(codeSignatureFaults(MachOFile::parse(bytes), "Orvane.dylib"),
              ElementsAre(HasSubstr("does not match its hash"), HasSubstr("does not match its hash")));
}

TEST(MachOChecker, RefusesFilesCutShort) {
  MachOFile hook = readHook(variants[0]);
  for (std::size_t size : {std::size_t(0), std::size_t(40), std::size_t(200)}) {
    std::vector<std::uint8_t> head(hook.bytes.begin(), hook.bytes.begin() + size);
    EXPECT_THROW(MachOFile::parse(head), machocheck::MalformedFile) << size;
  }
  // Cut in the index, in the first directory, and in the alternate's page hashes.
  for (std::size_t cut : {std::size_t(16), std::size_t(100), std::size_t(hook.codeSignatureSize - 40)}) {
    std::vector<std::uint8_t> head(hook.bytes.begin(), hook.bytes.begin() + hook.codeSignatureOffset + cut);
    EXPECT_THAT(codeSignatureFaults(MachOFile::parse(head), "Orvane.dylib"),
                testing::Contains(HasSubstr("run past the end of the file")))
        << cut;
  }
}

TEST(MachOChecker, RefusesASHA256PrimaryBelowIOS9) {
  // Swapping the index's slot numbers makes the SHA-256 directory the primary.
  MachOFile hook = readHook(variants[0]);
  std::vector<std::uint8_t> bytes = hook.bytes;
  std::size_t index = hook.codeSignatureOffset + 12;
  ASSERT_EQ(bytes[index + 16 + 2], 0x10);  // the third entry is slot 0x1000
  std::swap(bytes[index + 2], bytes[index + 16 + 2]);
  MachOFile swapped = MachOFile::parse(bytes);
  EXPECT_THAT(codeSignatureFaults(swapped, "Orvane.dylib"),
              ElementsAre("code directory (slot 0): SHA-256 where SHA-1 belongs: the kernels of iOS 7 and 8 refuse it "
                          "(minimum iOS 7.0)",
                          "code directory (slot 0x1000): SHA-1 where SHA-256 belongs"));
  swapped.minimumIOS = "9.0";
  EXPECT_THAT(codeSignatureFaults(swapped, "Orvane.dylib"),
              ElementsAre("code directory (slot 0x1000): SHA-1 where SHA-256 belongs"));
}

TEST(MachOChecker, RefusesAWrongHashTypeOrPageSize) {
  MachOFile hook = readHook(variants[0]);
  std::vector<std::uint8_t> bytes = hook.bytes;
  bytes[blobAt(hook, 0) + 37] = 2;  // SHA-256 with SHA-1's 20-byte hashes
  EXPECT_THAT(codeSignatureFaults(MachOFile::parse(bytes), "Orvane.dylib"),
              ElementsAre("code directory (slot 0): hash type 2 of size 20"));
  bytes = hook.bytes;
  bytes[blobAt(hook, 0) + 39] = 14;  // 16 KiB pages, which iOS 7 and 8 refuse
  EXPECT_THAT(codeSignatureFaults(MachOFile::parse(bytes), "Orvane.dylib"),
              ElementsAre("code directory (slot 0): page size 2^14, not 4 KiB"));
}

TEST(MachOChecker, FindsSpecialSlotsOffsetsAndIdentifiersAmiss) {
  MachOFile hook = readHook(variants[0]);
  std::vector<std::uint8_t> bytes = hook.bytes;
  bytes[blobAt(hook, 1) + 11] = 1;  // a requirements set that claims one requirement
  EXPECT_THAT(codeSignatureFaults(MachOFile::parse(bytes), "Orvane.dylib"),
              ElementsAre("the requirements (slot 2) are not the empty set",
                          "code directory (slot 0): special slot -2 is not the hash of the requirements",
                          "code directory (slot 0x1000): special slot -2 is not the hash of the requirements"));
  bytes = hook.bytes;
  bytes[blobAt(hook, 2) + 9] = 3;  // a version from the future
  bytes[blobAt(hook, 2) + 27] = 40;  // 40 special slots: they would reach into the header
  EXPECT_THAT(codeSignatureFaults(MachOFile::parse(bytes), "Orvane.dylib"),
              ElementsAre("code directory (slot 0x1000): unknown version 0x30100",
                          HasSubstr("code directory (slot 0x1000): offsets out of order: identifier 48, 40 special")));
  EXPECT_THAT(codeSignatureFaults(hook, "Orvane"),
              ElementsAre("code directory (slot 0): identifier \"Orvane.dylib\", not \"Orvane\"",
                          "code directory (slot 0x1000): identifier \"Orvane.dylib\", not \"Orvane\""));
}

}  // namespace
