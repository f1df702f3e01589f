#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "contract/Orvane.h"
#include "sim/common/Package.h"
#include "tests/support/SimDeviceTest.h"
#include "tests/support/TarArchive.h"

namespace {

using Result = testsupport::SimResult;
namespace fs = std::filesystem;

const std::string kPreferences(orvane::contract::preferencesPath);
const std::string kLibrary = "/Library/MobileSubstrate/DynamicLibraries/Orvane.dylib";
const std::string kSounds(orvane::contract::soundFolder);

class PackageCommands : public testsupport::SimDeviceTest {
 protected:
  // Each case makes its device its own way.
  void SetUp() override { fs::create_directories(work); }

  /// "Status Version" of a package in the device's database, empty if it has no entry.
  std::string status(const std::string& name) {
    std::string output;
    // No entry is a failure of dpkg-query that leaves the output empty.
    [[maybe_unused]] auto queried = package::run(
        {"dpkg-query", "--admindir=" + root + "/var/lib/dpkg", "-W", "-f=${Status} ${Version}", name}, &output,
        package::Errors::Discarded);
    return output;
  }

  /// Builds a package from a control text and files (device path to contents,
  /// "-> TARGET" for a link; a name of a maintainer script to its text).
  std::string build(const std::string& name, const std::string& control,
                    const std::map<std::string, std::string>& files) {
    std::string stage = work + "/" + name;
    fs::remove_all(stage);
    testsupport::writeFile(stage + "/DEBIAN/control", control);
    for (auto& [path, contents] : files) {
      std::string where = path.starts_with("/") ? stage + path : stage + "/DEBIAN/" + path;
      if (contents.starts_with("-> ")) {
        fs::create_directories(fs::path(where).parent_path());
        fs::create_symlink(contents.substr(3), where);
        continue;
      }
      testsupport::writeFile(where, contents);
      if (!path.starts_with("/")) fs::permissions(where, fs::perms::owner_all | fs::perms::group_read |
                                                   fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    }
    std::string deb = work + "/" + name + ".deb";
    std::string output;
    EXPECT_EQ(package::run({"dpkg-deb", "--root-owner-group", "--build", stage, deb}, &output).value_or(-1), 0);
    return deb;
  }

  /// The built Orvane package with another version, and files of its own added.
  std::string orvaneVersion(const std::string& version, const std::map<std::string, std::string>& added) {
    std::string stage = work + "/orvane-" + version;
    fs::remove_all(stage);
    EXPECT_EQ(package::run({"dpkg-deb", "--raw-extract", package::builtPackage(), stage}).value_or(-1), 0);
    std::string control = testsupport::readFile(stage + "/DEBIAN/control");
    auto at = control.find("Version: ");
    control.replace(at, control.find('\n', at) - at, "Version: " + version);
    testsupport::writeFile(stage + "/DEBIAN/control", control);
    for (auto& [path, contents] : added) testsupport::writeFile(stage + path, contents);
    std::string deb = stage + ".deb";
    std::string output;
    EXPECT_EQ(package::run({"dpkg-deb", "--root-owner-group", "--build", stage, deb}, &output).value_or(-1), 0);
    return deb;
  }

  /// Each path expected present (true) or absent (false) on the device.
  void expectPaths(const std::map<std::string, bool>& expected, const std::string& after) {
    for (auto& [path, present] : expected)
      EXPECT_EQ(fs::exists(root + path), present) << path << (present ? " missing" : " left") << " after " << after;
  }

  std::string work = device.root() + "/work";
};

std::string control(const std::string& name, const std::string& more = "") {
  return "Package: " + name + "\nVersion: 1.0\nArchitecture: iphoneos-arm\nMaintainer: Someone <someone@example.com>\n" +
         more + "Description: a test package\n";
}

const std::map<std::string, bool> kBaseFolders = {
    {"/Library/MobileSubstrate/DynamicLibraries", true}, {"/Library/PreferenceLoader/Preferences", true},
    {"/Library/PreferenceBundles", true}, {"/Library/Application Support", true}};

}  // namespace

TEST_F(PackageCommands, InitInstallsTheBasePackagesTheFirmwareBeingTheDevicesIOS) {
  init({"--ios", "8.4"});
  EXPECT_EQ(status("firmware"), "install ok installed 8.4");
  EXPECT_EQ(status("mobilesubstrate").substr(0, 20), "install ok installed");
  EXPECT_EQ(status("preferenceloader").substr(0, 20), "install ok installed");
  EXPECT_EQ(status(package::kOrvane), "install ok installed 1.0.0");
  std::string depends;
  ASSERT_EQ(package::run({"dpkg-deb", "--field", package::builtPackage(), "Depends"}, &depends).value_or(-1), 0);
  EXPECT_EQ(depends, "mobilesubstrate, preferenceloader\n");
  // Each base folder belongs to its base package in the database, beside Orvane.
  for (auto [folder, owner] : {std::pair{"/Library/MobileSubstrate/DynamicLibraries", "mobilesubstrate"},
                               {"/Library/PreferenceLoader/Preferences", "preferenceloader"},
                               {"/Library/PreferenceBundles", "preferenceloader"},
                               {"/Library/Application Support", "firmware"}}) {
    auto owners = package::owners(root, folder);
    EXPECT_NE(std::find(owners.begin(), owners.end(), owner), owners.end()) << folder;
  }
  // The essential firmware stays whatever is asked.
  Result firmware = sim({"remove", "firmware"});
  EXPECT_EQ(firmware.status, 1);
  EXPECT_NE(firmware.err.find("essential"), std::string::npos) << firmware.err;
  Result base = sim({"remove", "mobilesubstrate"});
  EXPECT_EQ(base.status, 1);
  EXPECT_NE(base.err.find("com.quillmark.orvane"), std::string::npos) << "names who depends on it: " << base.err;
}

TEST_F(PackageCommands, RemoveKeepsThePreferencesAndBaseFoldersPurgeTakesThePreferences) {
  init();
  ASSERT_EQ(sim({"defaults", "write", "selectedIncreaseSound", "Chime"}).status, 0);
  std::map<std::string, bool> installed = kBaseFolders;
  for (std::string path : {kLibrary, std::string("/Library/MobileSubstrate/DynamicLibraries/Orvane.plist"),
                           kSounds + "/Mac Volume Change.wav", std::string("/Library/PreferenceBundles/Orvane.bundle"),
                           std::string("/Library/PreferenceLoader/Preferences/Orvane.plist"), kPreferences})
    installed[path] = true;
  expectPaths(installed, "init");

  Result removed = sim({"remove", "com.quillmark.orvane"});
  EXPECT_EQ(removed.status, 0) << removed.err;
  EXPECT_EQ(removed.out, "Removed com.quillmark.orvane 1.0.0.\n");
  std::map<std::string, bool> afterRemove = installed;
  for (auto& [path, present] : afterRemove) present = kBaseFolders.contains(path) || path == kPreferences;
  afterRemove[kSounds] = false;
  expectPaths(afterRemove, "remove");
  EXPECT_EQ(status(package::kOrvane), "deinstall ok config-files 1.0.0");

  Result again = sim({"install"});
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(again.out, "Installed com.quillmark.orvane 1.0.0.\n");
  expectPaths(installed, "installing again");
  EXPECT_EQ(sim({"defaults", "read", "selectedIncreaseSound"}).out, "Chime\n");

  Result purged = sim({"purge", "com.quillmark.orvane"});
  EXPECT_EQ(purged.status, 0) << purged.err;
  std::map<std::string, bool> afterPurge = afterRemove;
  afterPurge[kPreferences] = false;
  expectPaths(afterPurge, "purge");
  EXPECT_EQ(status(package::kOrvane), "");
  EXPECT_EQ(sim({"purge", "com.quillmark.orvane"}).status, 1);
  Result gone = sim({"remove", "com.quillmark.orvane"});
  EXPECT_EQ(gone.status, 1);
  EXPECT_NE(gone.err.find("com.quillmark.orvane is not installed (installed: firmware, mobilesubstrate, preferenceloader)"),
            std::string::npos)
      << gone.err;
}

TEST_F(PackageCommands, UpgradeFromAnOlderOrvaneKeepsPreferencesAndChosenThemes) {
  init();
  ASSERT_EQ(sim({"purge", "com.quillmark.orvane"}).status, 0);
  std::string older = orvaneVersion("0.9.0", {{kSounds + "/Retired.wav", "an old theme"}});
  Result installed = sim({"install", older});
  ASSERT_EQ(installed.status, 0) << installed.err;
  EXPECT_EQ(installed.out, "Installed com.quillmark.orvane 0.9.0.\n");
  ASSERT_EQ(sim({"defaults", "write", "selectedDecreaseSound", "Chime"}).status, 0);
  ASSERT_EQ(sim({"defaults", "write", "isEnabled", "-bool", "false"}).status, 0);
  testsupport::writeFile(root + kSounds + "/Mine.wav", "the user's own theme");

  Result upgraded = sim({"install"});
  EXPECT_EQ(upgraded.status, 0) << upgraded.err;
  EXPECT_EQ(upgraded.out, "Upgraded com.quillmark.orvane from 0.9.0 to 1.0.0.\n");
  EXPECT_EQ(status(package::kOrvane), "install ok installed 1.0.0");
  EXPECT_EQ(sim({"defaults", "read", "selectedDecreaseSound"}).out, "Chime\n");
  EXPECT_EQ(sim({"defaults", "read", "isEnabled"}).out, "0\n");
  expectPaths({{kSounds + "/Mine.wav", true}, {kSounds + "/Retired.wav", false}, {kSounds + "/Chime.wav", true}},
              "upgrade");

  Result downgraded = sim({"install", older});
  EXPECT_EQ(downgraded.status, 0) << downgraded.err;
  EXPECT_EQ(downgraded.out, "Downgraded com.quillmark.orvane from 1.0.0 to 0.9.0.\n");
  // A removal leaves a folder holding the user's own file, and says so.
  Result removed = sim({"remove", "com.quillmark.orvane"});
  EXPECT_EQ(removed.status, 0) << removed.err;
  EXPECT_EQ(removed.out,
            "Removed com.quillmark.orvane 0.9.0.\n"
            "Kept /Library/Application Support/Orvane: it holds files of no package.\n");
  expectPaths({{kSounds + "/Mine.wav", true}, {kSounds + "/Chime.wav", false}, {kPreferences, true}}, "remove");
}

TEST_F(PackageCommands, ARunningSpringBoardKeepsItsLibraryThroughARemoveAndARespringLeavesItOut) {
  init();
  ASSERT_EQ(sim({"defaults", "write", "isEnabled", "-bool", "true"}).status, 0);
  ASSERT_TRUE(springboard.start(ORVANE_SIM, root));
  ASSERT_EQ(sim({"press", "up"}).status, 0);

  Result reinstalled = sim({"install"});
  EXPECT_EQ(reinstalled.status, 0) << reinstalled.err;
  EXPECT_EQ(reinstalled.out,
            "Reinstalled com.quillmark.orvane 1.0.0.\n"
            "SpringBoard still has the old Orvane.dylib loaded: orvane-sim --device " + root +
                " respring loads the new one.\n");

  Result removed = sim({"remove", "com.quillmark.orvane"});
  EXPECT_EQ(removed.status, 0) << removed.err;
  EXPECT_EQ(removed.out,
            "Removed com.quillmark.orvane 1.0.0.\n"
            "SpringBoard keeps the removed Orvane.dylib loaded until orvane-sim --device " + root + " respring.\n");
  Result press = sim({"press", "down"});
  EXPECT_EQ(press.status, 0) << press.err;
  EXPECT_EQ(press.out, "volume down: 8/16\n");
  ASSERT_EQ(sim({"status"}).status, 0);

  springboard.stop();
  ASSERT_TRUE(springboard.start(ORVANE_SIM, root));
  EXPECT_EQ(sim({"press", "up"}).status, 0);
  Result back = sim({"install"});
  EXPECT_EQ(back.status, 0) << back.err;
  EXPECT_EQ(back.out,
            "Installed com.quillmark.orvane 1.0.0.\n"
            "SpringBoard is running without Orvane.dylib: orvane-sim --device " + root + " respring loads it.\n");
}

TEST_F(PackageCommands, OtherPackagesInstallWhenTheirDependenciesAreMetAndOnlyThen) {
  init();
  std::string pack = build("themes", control("com.example.themes", "Depends: com.quillmark.orvane (>= 1.0)\n"),
                           {{kSounds + "/Rain.wav", "rain"}});
  Result installed = sim({"install", pack});
  EXPECT_EQ(installed.status, 0) << installed.err;
  EXPECT_EQ(installed.out, "Installed com.example.themes 1.0.\n");
  EXPECT_TRUE(fs::exists(root + kSounds + "/Rain.wav"));
  Result blocked = sim({"remove", "com.quillmark.orvane"});
  EXPECT_EQ(blocked.status, 1);
  EXPECT_EQ(blocked.err,
            "orvane-sim: dpkg could not remove com.quillmark.orvane: dependency problems prevent removal of "
            "com.quillmark.orvane: com.example.themes depends on com.quillmark.orvane (>= 1.0)\n");
  EXPECT_TRUE(fs::exists(root + kLibrary));
  ASSERT_EQ(sim({"remove", "com.example.themes"}).status, 0);
  expectPaths({{kSounds + "/Rain.wav", false}, {kSounds + "/Chime.wav", true}}, "removing the theme pack");

  // Unmet dependencies refuse the package before any of it is unpacked.
  const std::string tweak = "/Library/MobileSubstrate/DynamicLibraries/Later.dylib";
  std::string later =
      build("later", control("com.example.later", "Depends: mobilesubstrate, firmware (>= 9.0)\n"), {{tweak, "x"}});
  Result refused = sim({"install", later});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err,
            "orvane-sim: com.example.later needs firmware (>= 9.0); the device has firmware 8.1 (orvane-sim --device " +
                root + " init installs the base packages)\n");
  std::string missing = build("missing", control("com.example.missing", "Depends: libfoo | libbar (>= 2)\n"), {{tweak, "x"}});
  Result unmet = sim({"install", missing});
  EXPECT_EQ(unmet.status, 1);
  EXPECT_EQ(unmet.err, "orvane-sim: com.example.missing needs libfoo or libbar (>= 2), which is not installed\n");
  EXPECT_FALSE(fs::exists(root + tweak));
  EXPECT_EQ(status("com.example.later") + status("com.example.missing"), "");

  // Maintainer scripts made elsewhere run on this computer: only when asked for.
  std::string scripted = build("scripted", control("com.example.scripted"),
                               {{"postinst", "#!/bin/sh\ntouch \"$DPKG_ROOT/var/mobile/postinst-ran\"\n"}});
  Result refusedScripts = sim({"install", scripted});
  EXPECT_EQ(refusedScripts.status, 1);
  EXPECT_NE(refusedScripts.err.find("maintainer scripts (postinst)"), std::string::npos) << refusedScripts.err;
  Result ran = sim({"install", "--run-scripts", scripted});
  EXPECT_EQ(ran.status, 0) << ran.err;
  EXPECT_TRUE(fs::exists(root + "/var/mobile/postinst-ran"));
}

TEST_F(PackageCommands, BadFilesAndWrongUseAreSaidPlainlyAndChangeNothing) {
  init();
  std::string good = build("good", control("com.example.good"), {{"/Library/Good", "good"}});
  std::string bytes = testsupport::readFile(good);
  testsupport::writeFile(work + "/cut.deb", bytes.substr(0, bytes.size() - 40));
  testsupport::writeFile(work + "/text.deb", "not a package\n");
  std::string rootless = build("rootless", "Package: com.example.rootless\nVersion: 1\nArchitecture: iphoneos-arm64\n"
                                           "Maintainer: Someone <someone@example.com>\nDescription: d\n",
                               {{"/var/jb/Library/x", "x"}});
  std::string absolute = build("absolute", control("com.example.absolute"), {{"/Library/Out", "-> /tmp"}});
  std::string climbing = build("climbing", control("com.example.climbing"),
                               {{"/Library/In", "-> ../Library/Application Support"}, {"/Library/Up", "-> ../../x"}});
  // An archive whose entry climbs out of the root, as dpkg-deb never makes one.
  std::string escape = work + "/escape.deb";
  ASSERT_EQ(package::run({"/bin/sh", "-c",
                          "set -e; mkdir -p \"$0/escape/Library\"; cd \"$0/escape\"; echo 2.0 > debian-binary; "
                          "printf 'Package: com.example.escape\\nVersion: 1\\nArchitecture: iphoneos-arm\\n"
                          "Maintainer: a <a@b.c>\\nDescription: d\\n' > control; tar -czf control.tar.gz ./control; "
                          "echo x > Library/f; tar --transform 's,^[.]/Library/f,./Library/../../escaped,' "
                          "-czf data.tar.gz ./Library/f; ar rc ../escape.deb debian-binary control.tar.gz data.tar.gz",
                          work}).value_or(-1),
            0);
  struct Case {
    std::string file;
    std::string said;
  };
  for (const Case& bad : std::vector<Case>{
           {work + "/absent.deb", "no package file at " + work + "/absent.deb"},
           {work, work + " is not a package file (not a regular file)"},
           {work + "/text.deb", work + "/text.deb is not a Debian package: "},
           {work + "/cut.deb", work + "/cut.deb is damaged: "},
           {absolute, absolute + " holds the link /Library/Out -> /tmp, which on this computer leads out of the device"},
           {climbing, climbing + " holds the link /Library/Up -> ../../x, which on this computer leads out"},
           {escape, escape + " holds the entry /Library/../../escaped, which on this computer leads out"},
           {rootless, "com.example.rootless is made for rootless jailbreaks (iphoneos-arm64); this device takes "
                      "iphoneos-arm packages"}}) {
    Result result = sim({"install", bad.file});
    EXPECT_EQ(result.status, 1) << bad.file;
    EXPECT_TRUE(result.err.starts_with("orvane-sim: " + bad.said)) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
  }
  EXPECT_FALSE(fs::exists(root + "/Library/Good"));
  EXPECT_FALSE(fs::exists(root + "/var/jb"));
  EXPECT_FALSE(fs::exists(device.root() + "/escaped"));
  for (auto words : std::vector<std::vector<std::string>>{
           {"remove"}, {"purge"}, {"remove", "a", "b"}, {"install", "a.deb", "b.deb"}, {"install", "--force"}})
    EXPECT_EQ(sim(words).status, 2) << testing::PrintToString(words);
  EXPECT_EQ(status(package::kOrvane), "install ok installed 1.0.0");
}

TEST_F(PackageCommands, APackageOfLibrariesForAnotherMachineIsRefusedByWhatItsFilesAre) {
  init();
  auto header = [](std::string magic) { return magic + std::string(64 - magic.size(), '\0'); };
  // An arm64 ELF header: class 64, little-endian, machine 183.
  std::string arm64Elf = header(std::string("\x7f" "ELF\x02\x01\x01", 7) + std::string(11, '\0') + "\xb7");
  struct Case {
    std::string magic;
    std::string said;
  };
  for (const Case& foreign : std::vector<Case>{
           {"\xcf\xfa\xed\xfe\x0c\x00\x00\x01", "a Mach-O file, built for iOS devices"},
           {std::string("\xca\xfe\xba\xbe\x00\x00\x00\x02", 8), "a Mach-O file, built for iOS devices"},
           {std::string("\xfe\xed\xfa\xce\x00\x00\x00\x0c", 8), "a Mach-O file, built for iOS devices"},
           {arm64Elf, "an ELF file for arm64, where the simulated device runs x86-64"}}) {
    // Named as the simulated device's library is, so only its bytes tell.
    std::string deb = orvaneVersion("1.0.1", {{kLibrary, header(foreign.magic)}});
    Result refused = sim({"install", deb});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "orvane-sim: " + deb + " holds " + kLibrary + ", " + foreign.said +
                               ": it is not a package for the simulated device, which loads this computer's ELF "
                               "libraries (scripts/build makes its package, build/orvane.deb)\n");
    EXPECT_EQ(status(package::kOrvane), "install ok installed 1.0.0");
  }
  // Java's class files share the universal magic, and a theme pack may carry any data.
  std::string data = build("data", control("com.example.data"),
                           {{kSounds + "/Notes.class", std::string("\xca\xfe\xba\xbe\x00\x00\x00\x34", 8)},
                            {kSounds + "/Tiny", "\x7f"}});
  Result installed = sim({"install", data});
  EXPECT_EQ(installed.status, 0) << installed.err;
}

TEST_F(PackageCommands, ARefusedRemovalLeavesThePackageInstalledAndTheDeviceInstallable) {
  init();
  for (const char* base : {"firmware", "mobilesubstrate"}) {
    Result refused = sim({"remove", base});
    EXPECT_EQ(refused.status, 1) << base;
    EXPECT_TRUE(refused.err.starts_with(std::string("orvane-sim: dpkg could not remove ") + base + ": ")) << refused.err;
    EXPECT_EQ(status(base).substr(0, 20), "install ok installed") << base;
  }
  Result purge = sim({"purge", "preferenceloader"});
  EXPECT_EQ(purge.status, 1);
  EXPECT_EQ(status("preferenceloader").substr(0, 20), "install ok installed");
  Result reinstalled = sim({"install"});
  EXPECT_EQ(reinstalled.status, 0) << reinstalled.err;
  EXPECT_EQ(reinstalled.out, "Reinstalled com.quillmark.orvane 1.0.0.\n");

  // A device whose loader an earlier refused removal left wished away still has it.
  ASSERT_EQ(package::run({"/bin/sh", "-c", "echo mobilesubstrate deinstall | dpkg --admindir=\"$0\" --force-not-root "
                          "--set-selections", root + "/var/lib/dpkg"}).value_or(-1), 0);
  ASSERT_EQ(status("mobilesubstrate").substr(0, 22), "deinstall ok installed");
  Result despite = sim({"install"});
  EXPECT_EQ(despite.status, 0) << despite.err;
}

TEST_F(PackageCommands, AFolderKeptForTheUsersFilesIsSaidOnceInOurWords) {
  init();
  testsupport::writeFile(root + kSounds + "/Mine.wav", "the user's own theme");
  for (const char* action : {"remove", "purge"}) {
    Result result = sim({action, package::kOrvane});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "") << action;
    EXPECT_NE(result.out.find("Kept /Library/Application Support/Orvane: it holds files of no package.\n"),
              std::string::npos)
        << action << ": " << result.out;
  }
  EXPECT_TRUE(fs::exists(root + kSounds + "/Mine.wav"));
}

TEST_F(PackageCommands, PackagesAreListedAsAPackageManagerShowsThemAndNamedByTheirIdOnly) {
  init();
  // Without Name or Author, a package manager shows its id and Maintainer.
  std::string plain = build("plain", control("com.example.plain", "Section: Thèmes\n"), {{kSounds + "/Rain.wav", "x"}});
  ASSERT_EQ(sim({"install", plain}).status, 0);
  Result listed = sim({"packages"});
  EXPECT_EQ(listed.status, 0) << listed.err;
  EXPECT_EQ(listed.out,
            "Name               Version   Section  Author     Package               Description\n"
            "com.example.plain  1.0       Thèmes   Someone    com.example.plain     a test package\n"
            "iOS Firmware       8.1       System   Quillmark  firmware              The system's own folders, as a "
            "jailbroken device lists them.\n"
            "Orvane             1.0.0     Tweaks   Quillmark  com.quillmark.orvane  A sound on every press of a volume "
            "button.\n"
            "PreferenceLoader   2.2.4     System   Quillmark  preferenceloader      Entries of tweaks in the Settings "
            "app.\n"
            "Substrate          0.9.7000  System   Quillmark  mobilesubstrate       The code-injection loader of tweaks.\n");
  Result json = sim({"packages", "--json"});
  EXPECT_EQ(json.status, 0) << json.err;
  EXPECT_NE(json.out.find("{\n      \"author\": \"Quillmark <support@quillmark.example>\",\n"
                          "      \"description\": \"A sound on every press of a volume button.\",\n"
                          "      \"id\": \"com.quillmark.orvane\",\n      \"name\": \"Orvane\",\n"
                          "      \"section\": \"Tweaks\",\n      \"version\": \"1.0.0\"\n    }"),
            std::string::npos)
      << json.out;

  // The name a package manager shows, or an id nearly typed, points at the id.
  for (auto [typed, id] : {std::pair{"Orvane", "com.quillmark.orvane"}, {"substrate", "mobilesubstrate"},
                           {"com.example.plian", "com.example.plain"}}) {
    for (const char* action : {"remove", "purge"}) {
      Result refused = sim({action, typed});
      EXPECT_EQ(refused.status, 1) << typed;
      EXPECT_EQ(refused.err, std::string("orvane-sim: no package has the id \"") + typed + "\", did you mean " + id +
                                 "?\n");
    }
  }
  EXPECT_EQ(status(package::kOrvane), "install ok installed 1.0.0");
  Result unknown = sim({"remove", "zzz"});
  EXPECT_EQ(unknown.status, 1);
  EXPECT_TRUE(unknown.err.starts_with("orvane-sim: zzz is not installed (installed: ")) << unknown.err;
}

using testsupport::Member;
using testsupport::tarOf;

class HostilePackages : public PackageCommands {
 protected:
  void SetUp() override {
    PackageCommands::SetUp();
    init();
    testsupport::writeFile(victim, "the user's own file\n");
    before = outside();
  }

  /// A package file made by hand from its control text and data members.
  std::string handMade(const std::string& name, const std::string& controlText, const std::vector<Member>& members) {
    std::string stage = work + "/" + name + "-parts";
    fs::remove_all(stage);
    testsupport::writeFile(stage + "/control", controlText);
    testsupport::writeFile(stage + "/debian-binary", "2.0\n");
    testsupport::writeFile(stage + "/data.tar", tarOf(members));
    std::string deb = work + "/" + name + ".deb";
    fs::remove(deb);
    EXPECT_EQ(package::run({"/bin/sh", "-c",
                            "cd \"$0\" && tar -czf control.tar.gz ./control && ar rc \"$1\" debian-binary "
                            "control.tar.gz data.tar",
                            stage, deb})
                  .value_or(-1),
              0);
    return deb;
  }

  /// Every path outside the device (and the test's own folder of packages), with a file's size.
  std::map<std::string, std::uintmax_t> outside() {
    std::map<std::string, std::uintmax_t> found;
    std::error_code ignored;
    for (auto at = fs::recursive_directory_iterator(device.root()); at != fs::recursive_directory_iterator(); ++at) {
      if (at->path() == root || at->path() == work) {
        at.disable_recursion_pending();
        continue;
      }
      found[at->path()] = at->is_regular_file(ignored) && !at->is_symlink() ? at->file_size(ignored) : 0;
    }
    return found;
  }

  /// Whatever happened, nothing outside the device was made, changed, linked or removed.
  void expectOutsideUntouched(const std::string& after) {
    EXPECT_EQ(testsupport::readFile(victim), "the user's own file\n") << after;
    EXPECT_EQ(fs::hard_link_count(victim), 1u) << after;
    EXPECT_EQ(outside(), before) << after;
  }

  const std::string victim = device.root() + "/canary/victim.txt";
  std::map<std::string, std::uintmax_t> before;
};

TEST_F(HostilePackages, AHardLinkWithAClimbingTargetIsRefusedWhateverTheListingShows) {
  // dpkg-deb --contents shows this target as "canary/victim.txt".
  std::string linked = handMade("linked", control("com.example.linked"),
                                {{"./private/", '5'}, {"./private/var/", '5'}, {"./private/var/log/", '5'},
                                 {"./private/var/log/syslog", '1', "../canary/victim.txt"}});
  Result refused = sim({"install", linked});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, "orvane-sim: " + linked +
                             " holds the hard link /private/var/log/syslog to ../canary/victim.txt, which on this "
                             "computer leads out of the device\n");
  // A hard link into the device's package database is no better.
  std::string planted = handMade("planted", control("com.example.planted"),
                                 {{"./Library/", '5'}, {"./Library/status", '1', "./var/lib/dpkg/status"}});
  Result database = sim({"install", planted});
  EXPECT_EQ(database.status, 1);
  EXPECT_NE(database.err.find("inside the device's package database"), std::string::npos) << database.err;
  ASSERT_TRUE(springboard.start(ORVANE_SIM, root));
  ASSERT_EQ(sim({"press", "up"}).status, 0);
  springboard.stop();
  expectOutsideUntouched("SpringBoard logged");
  EXPECT_EQ(status("com.example.linked") + status("com.example.planted"), "");
}

TEST_F(HostilePackages, LinksAlreadyOnTheDeviceAreFollowedWhenJudgingTheNextPackage) {
  std::string up = build("up", control("com.example.up"), {{"/Library/up", "-> .."}});
  Result first = sim({"install", up});
  EXPECT_EQ(first.status, 0) << "a link to the device's root stays inside: " << first.err;
  std::string esc = build("esc", control("com.example.esc"), {{"/Library/up/esc", "-> .."}});
  Result second = sim({"install", esc});
  EXPECT_EQ(second.status, 1);
  EXPECT_EQ(second.err, "orvane-sim: " + esc +
                            " holds /Library/up/esc under the link /Library/up on the device, which on this "
                            "computer leads out of the device\n");
  // The same through a link the package itself unpacks before.
  std::string inOne = handMade("in-one", control("com.example.in-one"),
                               {{"./Library/", '5'}, {"./Library/down", '2', "."}, {"./Library/down/x", '0', "", "x"}});
  Result through = sim({"install", inOne});
  EXPECT_EQ(through.status, 1);
  EXPECT_NE(through.err.find(" holds /Library/down/x under the link /Library/down of a package"), std::string::npos)
      << through.err;
  fs::create_directories(root + "/esc");
  std::string file = build("file", control("com.example.file"), {{"/esc/planted", "planted"}});
  EXPECT_EQ(sim({"install", file}).status, 0);
  expectOutsideUntouched("three packages");
  EXPECT_TRUE(fs::exists(root + "/esc/planted"));
}

TEST_F(HostilePackages, TheDevicesSkeletonAndToolsBelongToItsFirmware) {
  const std::string marker = device.root() + "/canary/ran";
  std::string tool =
      build("tool", control("com.example.tool"), {{"/usr/bin/dpkg", "#!/bin/sh\ntouch " + marker + "\n"}});
  Result replaced = sim({"install", tool});
  EXPECT_EQ(replaced.status, 1);
  EXPECT_NE(replaced.err.find("trying to overwrite '/usr/bin/dpkg', which is also in package firmware"),
            std::string::npos)
      << replaced.err;
  for (auto [name, path] : {std::pair{"var", "/var"}, {"prefs", "/var/mobile/Library/Preferences"},
                            {"private-prefs", "/private/var/mobile/Library/Preferences"}, {"tmp", "/tmp"}}) {
    std::string deb = build(name, control(std::string("com.example.") + name), {{path, "a file"}});
    Result refused = sim({"install", deb});
    EXPECT_EQ(refused.status, 1) << path;
    EXPECT_NE(refused.err.find(std::string(" holds ") + path + " as a file, where the device has its own"),
              std::string::npos)
        << refused.err;
  }
  std::string rootLink = handMade("root-link", control("com.example.root-link"), {{"./", '2', "/"}});
  Result rootRefused = sim({"install", rootLink});
  EXPECT_EQ(rootRefused.err, "orvane-sim: " + rootLink + " holds the device's root as a file or link\n");
  EXPECT_TRUE(fs::is_symlink(root + "/var"));
  EXPECT_TRUE(fs::is_directory(root + "/private/var/mobile/Library/Preferences"));
  // Even a tool put there by hand never runs: orvane-sim and the support mail use the host's dpkg.
  testsupport::writeFile(root + "/usr/bin/dpkg", "#!/bin/sh\ntouch " + marker + "\n");
  fs::permissions(root + "/usr/bin/dpkg", fs::perms::owner_all);
  std::string themes = build("themes", control("com.example.themes"), {{kSounds + "/Rain.wav", "rain"}});
  EXPECT_EQ(sim({"install", themes}).status, 0);
  EXPECT_EQ(sim({"remove", "com.example.themes"}).status, 0);
  Result mail = sim({"settings", "tap", "Contact Support", "--mail", "send"});
  EXPECT_EQ(mail.status, 0) << mail.err;
  EXPECT_NE(testsupport::readFile(root + "/tmp/dpkgl.log").find("com.quillmark.orvane"), std::string::npos);
  EXPECT_FALSE(fs::exists(marker));
  EXPECT_EQ(sim({"defaults", "write", "isEnabled", "-bool", "true"}).status, 0);
}

TEST_F(HostilePackages, ScriptsTheUserAllowsRunConfinedToTheDevice) {
  std::string scripted = build("scripted", control("com.example.scripted"),
                               {{"postinst", "#!/bin/sh\nset -e\ntouch \"$DPKG_ROOT/inside\"\n"
                                             "echo x > \"$DPKG_ROOT/../canary/victim.txt\"\n"}});
  Result ran = sim({"install", "--run-scripts", scripted});
  EXPECT_EQ(ran.status, 1) << "the script cannot finish: " << ran.err;
  EXPECT_TRUE(fs::exists(root + "/inside"));
  expectOutsideUntouched("a script");
  EXPECT_EQ(sim({"purge", "com.example.scripted"}).status, 0);
}

TEST_F(HostilePackages, WithoutBubblewrapNothingIsUnpackedAndItSaysWhy) {
  // dpkg's own tools are there, bubblewrap is not.
  std::string tools = work + "/tools";
  fs::create_directories(tools);
  for (const char* tool : {"dpkg", "dpkg-deb", "dpkg-query", "tar"})
    fs::create_symlink("/usr/bin/" + std::string(tool), tools + "/" + tool);
  std::string themes = build("themes", control("com.example.themes"), {{kSounds + "/Rain.wav", "rain"}});
  Result refused = sim({"install", themes}, {"/usr/bin/env", "PATH=" + tools});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, "orvane-sim: dpkg could not add the device's architecture: cannot confine dpkg to the device: "
                         "bubblewrap (bwrap) is not installed (scripts/install-dependencies installs it)\n");
  EXPECT_FALSE(fs::exists(root + kSounds + "/Rain.wav"));
  EXPECT_EQ(sim({"install", themes}).status, 0);
}

TEST_F(HostilePackages, AnOlderDevicesFirmwareIsMadeAgainToHoldTheSkeleton) {
  // As devices were made before: the firmware holding its folders only, the tool a file of no package.
  std::string old = work + "/old-firmware";
  ASSERT_EQ(package::run({"dpkg-deb", "--raw-extract", package::basePackage("firmware"), old}).value_or(-1), 0);
  for (const char* made : {"/var", "/tmp", "/User", "/usr/bin/dpkg"}) fs::remove(old + made);
  std::string controlText = testsupport::readFile(old + "/DEBIAN/control");
  controlText.replace(controlText.find("Version: 0"), 10, "Version: 8.1");
  testsupport::writeFile(old + "/DEBIAN/control", controlText);
  ASSERT_EQ(package::run({"dpkg-deb", "--root-owner-group", "--build", old, work + "/old-firmware.deb"}).value_or(-1),
            0);
  auto installed = package::install(root, {work + "/old-firmware.deb"});
  ASSERT_TRUE(installed) << installed.error().message();
  ASSERT_TRUE(package::owners(root, "/usr/bin/dpkg").empty());
  init();
  EXPECT_EQ(package::owners(root, "/usr/bin/dpkg"), std::vector<std::string>{"firmware"});
  EXPECT_EQ(package::owners(root, "/var"), std::vector<std::string>{"firmware"});
  EXPECT_EQ(status("firmware"), "install ok installed 8.1");
}

TEST_F(HostilePackages, WritesLocksAndRemovalsOfTheDeviceStayInsideAsReadsDo) {
  const std::string host = device.root() + "/canary";
  testsupport::writeFile(host + "/com.quillmark.orvane.plist", "the user's own file\n");
  fs::remove_all(root + "/private/var/mobile/Library/Preferences");
  fs::create_directory_symlink(host, root + "/private/var/mobile/Library/Preferences");
  Result written = sim({"defaults", "write", "isEnabled", "-bool", "true"});
  EXPECT_NE(written.status, 0);
  Result set = sim({"settings", "set", "Volume Sounds", "on"});
  Result purged = sim({"purge", "com.quillmark.orvane"});
  EXPECT_EQ(testsupport::readFile(host + "/com.quillmark.orvane.plist"), "the user's own file\n");
  std::vector<std::string> there;
  for (auto& entry : fs::directory_iterator(host)) there.push_back(entry.path().filename());
  std::sort(there.begin(), there.end());
  EXPECT_EQ(there, (std::vector<std::string>{"com.quillmark.orvane.plist", "victim.txt"}))
      << "no lock, temporary file or unreadable copy: " << written.err << set.err << purged.err;
}

TEST_F(HostilePackages, HugeControlFieldsAreRefusedWithAReason) {
  for (auto [name, more, said] :
       {std::tuple{"long-name", "Depends: " + std::string(300'000, 'a') + "\n",
                   "its Depends field is 300000 bytes long (at most 16384)"},
        {"long-version", "Pre-Depends: firmware (>= " + std::string(200'000, '7') + ")\n", "its Pre-Depends field is "},
        {"many", "Depends: " + std::string(8'000, '|') + "\n", "has a dependency field dpkg cannot read"}}) {
    std::string deb = handMade(name, control(std::string("com.example.") + name, more), {{"./Library/", '5'}});
    Result refused = sim({"install", deb});
    EXPECT_EQ(refused.status, 1) << name;
    EXPECT_NE(refused.err.find(said), std::string::npos) << refused.err.substr(0, 300);
    EXPECT_EQ(std::count(refused.err.begin(), refused.err.end(), '\n'), 1) << name;
  }
  std::string version = handMade("version", "Package: com.example.version\nVersion: " + std::string(200'000, '1') +
                                                "\nArchitecture: iphoneos-arm\nMaintainer: a <a@b.c>\nDescription: d\n",
                                 {{"./Library/", '5'}});
  Result refused = sim({"install", version});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("its Version field is 200000 bytes long (at most 256)"), std::string::npos)
      << refused.err.substr(0, 300);
}
