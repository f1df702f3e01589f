// The localiser of the built bundle, reached as the pages reach it: by sending.

#include <gtest/gtest.h>

#include <latch>
#include <thread>
#include <vector>

#include "platform/device/Device.h"
#include "platform/preferences/PSSpecifier.h"
#include "tests/prefs/SettingsBundle.h"

using settingsbundle::bundlePath;

namespace {

/// The bundle's shared localiser, its library loaded as the Settings app loads it.
id sharedLocalizer() {
  static void* library = dlopen(ORVANE_BUNDLE_DIR "/Orvane", RTLD_NOW | RTLD_GLOBAL);
  if (!library) ADD_FAILURE() << dlerror();
  return objc_msgSend<id>(settingsbundle::classNamed("QMOrvaneLocalizer"), sel_registerName("sharedLocalizer"));
}

/// The localiser's methods, each a send.
struct LocalizerMessages {
  id self;
  NSArray* localizedSpecifiersForSpecifiers(NSArray* specifiers) const {
    return objc::send<NSArray*>(self, "localizedSpecifiersForSpecifiers:", specifiers);
  }
  NSArray* localizedSpecifiersForSpecifiers_inTable(NSArray* specifiers, NSString* table) const {
    return objc::send<NSArray*>(self, "localizedSpecifiersForSpecifiers:inTable:", specifiers, table);
  }
  void loadLocalizedSpecifiersForSpecifiers_intoArray(NSArray* specifiers, NSArray** array) const {
    objc::send<void>(self, "loadLocalizedSpecifiersForSpecifiers:intoArray:", specifiers, array);
  }
  NSString* localizedStringForKey(NSString* key) const {
    return objc::send<NSString*>(self, "localizedStringForKey:", key);
  }
  NSString* localizedStringForKey_inTable(NSString* key, NSString* table) const {
    return objc::send<NSString*>(self, "localizedStringForKey:inTable:", key, table);
  }
  const LocalizerMessages* operator->() const { return this; }
};

class Localizer : public ::testing::Test {
 protected:
  void writeBundle(std::map<std::string, std::string> files) {
    files.try_emplace("Info.plist", settingsbundle::infoPlist);
    for (auto& [name, contents] : files) testsupport::writeFile(device.host(bundlePath) + "/" + name, contents);
  }

  static std::string text(objc_object* object) { return object ? foundation::describe(object) : "(nil)"; }

  testsupport::TemporaryDevice device;
  AutoreleasePool pool;
  LocalizerMessages localizer{sharedLocalizer()};
};

constexpr const char* english =
    "/* Root page */\n"
    "\"ENABLED\" = \"Volume Sounds\";\n"
    "\"ENABLED_FOOTER\" = \"Plays a sound.\";\n"
    "\"CHIME\" = \"Chime\";\n"
    "\"CHIME_SHORT\" = \"Ch\";\n";

Retained<PSSpecifier> row(const char* name) {
  auto specifier = PSSpecifier::specifier();
  if (name) specifier->setName(NSSTR(name));
  return specifier;
}

Retained<NSDictionary> titles(std::initializer_list<std::pair<const char*, objc_object*>> entries) {
  auto dictionary = NSMutableDictionary::dictionary();
  for (auto& [key, value] : entries) dictionary->setObject_forKey(value, key);
  return dictionary;
}

}  // namespace

TEST_F(Localizer, TextsAreLocalisedInPlaceAndStoredValuesAreNot) {
  writeBundle({{"en.lproj/Localizable.strings", english}});
  auto seven = NSNumber::numberWithInteger(7);
  auto list = row("CHIME");
  // Every stored value is also a key of the table: none of them may change.
  list->setProperty_forKey(NSSTR("ENABLED_FOOTER"), "footerText");
  list->setProperty_forKey(NSSTR("ENABLED"), "key");
  list->setProperty_forKey(NSSTR("CHIME"), "default");
  list->setProperty_forKey(NSSTR("ENABLED"), "PostNotification");
  list->setTitleDictionary(titles({{"CHIME", NSSTR("CHIME")}, {"7", seven.get()}}).get());
  list->setShortTitleDictionary(titles({{"CHIME", NSSTR("CHIME_SHORT")}}).get());
  auto group = row(nullptr);
  auto unknown = row("Written as is");
  auto specifiers = NSArray::arrayWithObjects({group.get(), list.get(), NSSTR("not a specifier"), unknown.get()});

  NSArray* result = localizer->localizedSpecifiersForSpecifiers(specifiers.get());
  EXPECT_EQ(result, specifiers.get());
  EXPECT_EQ(specifiers->objectAtIndex(1), list.get());
  EXPECT_EQ(text(list->name()), "Chime");
  EXPECT_EQ(text(list->propertyForKey("footerText")), "Plays a sound.");
  EXPECT_EQ(list->propertyForKey("key"), NSSTR("ENABLED"));
  EXPECT_EQ(list->propertyForKey("default"), NSSTR("CHIME"));
  EXPECT_EQ(list->propertyForKey("PostNotification"), NSSTR("ENABLED"));
  EXPECT_EQ(list->titleDictionary()->description(), "{\n    7 = 7;\n    CHIME = Chime;\n}");
  EXPECT_EQ(list->titleDictionary()->objectForKey("7"), seven.get()) << "a title that is no text is kept";
  EXPECT_EQ(text(list->shortTitleDictionary()->objectForKey("CHIME")), "Ch");
  EXPECT_EQ(group->name(), nullptr);
  EXPECT_EQ(group->titleDictionary(), nullptr);
  EXPECT_EQ(text(unknown->name()), "Written as is");

  NSArray* loaded = nullptr;
  localizer->loadLocalizedSpecifiersForSpecifiers_intoArray(specifiers.get(), &loaded);
  EXPECT_EQ(loaded, specifiers.get());
  localizer->loadLocalizedSpecifiersForSpecifiers_intoArray(specifiers.get(), nullptr);
}

TEST_F(Localizer, NothingInIsNothingOut) {
  writeBundle({{"en.lproj/Localizable.strings", english}});
  EXPECT_EQ(localizer->localizedSpecifiersForSpecifiers(nullptr), nullptr);
  EXPECT_EQ(localizer->localizedSpecifiersForSpecifiers_inTable(nullptr, NSSTR("Other")), nullptr);
  auto empty = NSArray::array();
  EXPECT_EQ(localizer->localizedSpecifiersForSpecifiers(empty.get()), empty.get());
  NSArray* loaded = empty.get();
  localizer->loadLocalizedSpecifiersForSpecifiers_intoArray(nullptr, &loaded);
  EXPECT_EQ(loaded, nullptr);
}

TEST_F(Localizer, ANamedTableIsUsedInsteadOfLocalizable) {
  writeBundle({{"en.lproj/Localizable.strings", english}, {"en.lproj/Themes.strings", "\"CHIME\" = \"Bell\";"}});
  auto specifier = row("CHIME");
  localizer->localizedSpecifiersForSpecifiers_inTable(NSArray::arrayWithObjects({specifier}).get(), NSSTR("Themes"));
  EXPECT_EQ(text(specifier->name()), "Bell");
  EXPECT_EQ(text(localizer->localizedStringForKey_inTable(NSSTR("ENABLED"), NSSTR("Themes"))), "ENABLED");
}

TEST_F(Localizer, MissingTablesOrBundleLeaveTextsAsWritten) {
  auto localize = [&] {
    auto specifier = row("ENABLED");
    specifier->setProperty_forKey(NSSTR("ENABLED_FOOTER"), "footerText");
    localizer->localizedSpecifiersForSpecifiers(NSArray::arrayWithObjects({specifier}).get());
    return text(specifier->name()) + "|" + text(specifier->propertyForKey("footerText"));
  };
  EXPECT_EQ(localize(), "ENABLED|ENABLED_FOOTER") << "no bundle";
  EXPECT_EQ(text(localizer->localizedStringForKey(NSSTR("ENABLED"))), "ENABLED");
  writeBundle({});
  EXPECT_EQ(localize(), "ENABLED|ENABLED_FOOTER") << "a bundle without tables";
}

TEST_F(Localizer, TheDeviceLanguageIsFollowedWithFallbacks) {
  writeBundle({{"en.lproj/Localizable.strings", english},
                {"de.lproj/Localizable.strings", "\"ENABLED\" = \"Lautstärketöne\";"}});
  ASSERT_TRUE(device::setSetting("Language", "de-AT"));
  auto specifier = row("ENABLED");
  specifier->setProperty_forKey(NSSTR("ENABLED_FOOTER"), "footerText");
  localizer->localizedSpecifiersForSpecifiers(NSArray::arrayWithObjects({specifier}).get());
  EXPECT_EQ(text(specifier->name()), "Lautstärketöne");
  EXPECT_EQ(text(specifier->propertyForKey("footerText")), "Plays a sound.") << "only the development language has it";
  ASSERT_TRUE(device::setSetting("Language", "en"));
  EXPECT_EQ(text(localizer->localizedStringForKey(NSSTR("ENABLED"))), "Volume Sounds");
}

TEST(SharedLocalizer, IsOneObjectForEveryThread) {
  constexpr int threads = 8;
  std::vector<id> seen(threads);
  std::latch start(threads);
  std::vector<std::thread> workers;
  for (int i = 0; i < threads; ++i)
    workers.emplace_back([&, i] {
      start.arrive_and_wait();
      seen[static_cast<std::size_t>(i)] = sharedLocalizer();
    });
  for (auto& worker : workers) worker.join();
  ASSERT_NE(seen[0], nullptr);
  EXPECT_STREQ(object_getClassName(seen[0]), "QMOrvaneLocalizer");
  for (auto* localizer : seen) EXPECT_EQ(localizer, seen[0]);
  EXPECT_EQ(sharedLocalizer(), seen[0]);
}

TEST_F(Localizer, EveryTextLookUpIsAlsoAnsweredThroughTheRuntime) {
  writeBundle({{"en.lproj/Localizable.strings", english}, {"en.lproj/Themes.strings", "\"CHIME\" = \"Bell\";"}});
  EXPECT_EQ(text(objc::send<NSString*>(localizer.self, "localizedStringForKey:", NSSTR("ENABLED"))), "Volume Sounds");
  EXPECT_EQ(text(objc::send<NSString*>(localizer.self, "localizedStringForKey:inTable:", NSSTR("CHIME"), NSSTR("Themes"))),
            "Bell");
  EXPECT_EQ(text(objc::send<NSString*>(localizer.self, "localizedStringForKey:", NSSTR("MISSING"))), "MISSING");
}
