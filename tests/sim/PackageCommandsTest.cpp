#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "sim/common/Package.h"
#include "tests/support/SimDeviceTest.h"

namespace {

using Result = testsupport::SimResult;
namespace fs = std::filesystem;

const std::string kPreferences = "/var/mobile/Library/Preferences/com.quillmark.orvane.plist";
const std::string kLibrary = "/Library/MobileSubstrate/DynamicLibraries/Orvane.dylib";
const std::string kSounds = "/Library/Application Support/Orvane";

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
            "SpringBoard still has the old Orvane.dylib loaded: orvane-sim respring loads the new one.\n");

  Result removed = sim({"remove", "com.quillmark.orvane"});
  EXPECT_EQ(removed.status, 0) << removed.err;
  EXPECT_EQ(removed.out,
            "Removed com.quillmark.orvane 1.0.0.\n"
            "SpringBoard keeps the removed Orvane.dylib loaded until orvane-sim respring.\n");
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
            "SpringBoard is running without Orvane.dylib: orvane-sim respring loads it.\n");
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
            "orvane-sim: com.example.later needs firmware (>= 9.0); the device has firmware 8.1 "
            "(orvane-sim init installs the base packages)\n");
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
