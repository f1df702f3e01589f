// Settings finds the bundle's pages, cells and actions by the names its
// property lists give; every one must be there once the bundle has loaded.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "platform/preferences/PSTableCell.h"
#include "tests/prefs/SettingsBundle.h"

namespace {

struct Named {
  std::string list, key, name;
};

/// Every string under `keys` anywhere in the property list, with the key it was found under.
void collect(objc_object* value, const std::string& list, const std::vector<std::string>& keys, std::vector<Named>& found) {
  if (auto* dictionary = objc_cast<NSDictionary>(value)) {
    Retained<NSArray> dictionaryKeys = dictionary->allKeys();
    for (auto& held : *dictionaryKeys) {
      auto* key = objc_cast<NSString>(held.get());
      if (!key) continue;
      objc_object* item = dictionary->objectForKey(key);
      auto* text = objc_cast<NSString>(item);
      if (text && std::find(keys.begin(), keys.end(), key->utf8()) != keys.end())
        found.push_back({list, key->utf8(), text->utf8()});
      collect(item, list, keys, found);
    }
  } else if (auto* array = objc_cast<NSArray>(value)) {
    for (auto& item : *array) collect(item.get(), list, keys, found);
  }
}

std::vector<Named> namesIn(const std::vector<std::string>& lists, const std::vector<std::string>& keys) {
  std::vector<Named> found;
  for (const std::string& list : lists) {
    auto contents = NSDictionary::dictionaryWithContentsOfFile(
        NSString::stringWithUTF8String(std::string(settingsbundle::bundlePath) + "/" + list + ".plist").get());
    EXPECT_TRUE(contents) << list << " does not read";
    collect(contents.get(), list, keys, found);
  }
  return found;
}

const std::vector<std::string> rowLists = {"Orvane", "OrvaneConfiguration", "OrvaneMakers"};

// The page class that loads each list of rows.
const std::map<std::string, std::string> pageOfList = {{"Orvane", "OrvaneListController"},
                                                       {"OrvaneConfiguration", "QMOrvaneConfigurationListController"},
                                                       {"OrvaneMakers", "QMOrvaneMakersListController"}};

class BundleClasses : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(settingsbundle::installBuilt(device)); }

  testsupport::TemporaryDevice device;
};

TEST_F(BundleClasses, EveryPageAndCellAListNamesIsRegisteredWithTheRightAncestor) {
  std::vector<Named> named = namesIn({"Info"}, {"NSPrincipalClass"});
  ASSERT_EQ(named.size(), 1u) << "the bundle names its first page";
  for (const Named& link : namesIn(rowLists, {"detail", "cellClass"})) named.push_back(link);
  ASSERT_GE(named.size(), 5u) << "the lists' links and cells were not found";
  for (const Named& entry : named) {
    Class cls = objc_getClass(entry.name.c_str());
    ASSERT_TRUE(cls) << entry.list << " names " << entry.name << " under " << entry.key << ", and no class has that name";
    Class ancestor = entry.key == "cellClass" ? PSTableCell::class_() : PSListController::class_();
    EXPECT_TRUE(class_isSubclassOf(cls, ancestor)) << entry.name << " is no " << class_getName(ancestor);
  }
}

TEST_F(BundleClasses, EveryActionAndDataSourceAListNamesIsAnsweredByThePageThatLoadsIt) {
  std::vector<Named> named = namesIn(rowLists, {"action", "titlesDataSource", "valuesDataSource", "get", "set"});
  ASSERT_GE(named.size(), 3u) << "the lists' actions and data sources were not found";
  for (const Named& entry : named) {
    Class page = objc_getClass(pageOfList.at(entry.list).c_str());
    ASSERT_TRUE(page);
    EXPECT_TRUE(class_respondsToSelector(page, sel_registerName(entry.name.c_str())))
        << entry.list << " names " << entry.name << " under " << entry.key << ", which " << pageOfList.at(entry.list)
        << " does not answer";
  }
}

TEST_F(BundleClasses, TheLocalizerAndTheHeaderViewsThePagesMakeByClassAreRegistered) {
  for (const char* name : {"QMOrvaneLocalizer", "QMOrvaneListController", "QMOrvaneCustomHeaderView", "QMOrvaneLogoTableCell"})
    EXPECT_TRUE(objc_getClass(name)) << name;
  EXPECT_TRUE(class_respondsToSelector(objc_getMetaClass("QMOrvaneLocalizer"), sel_registerName("sharedLocalizer")));
}

}  // namespace
