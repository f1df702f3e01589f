#include <gtest/gtest.h>

#include "platform/objc/Methods.h"
#include "platform/preferences/PSListController.h"
#include "tests/support/TemporaryDevice.h"

namespace {

constexpr const char* listPath = "/Library/PreferenceBundles/Test.bundle/Rows.plist";

std::string plist(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">" + body + "</plist>\n";
}

std::string text(const objc_object* object) { return object ? foundation::describe(object) : "(nil)"; }

class SpecifierList : public ::testing::Test {
 protected:
  Retained<NSArray> load(const std::string& contents, Retained<NSString>* title = nullptr) {
    testsupport::writeFile(device.host(listPath), contents);
    return SpecifiersFromPlist(listPath, target.get(), title);
  }

  AutoreleasePool pool;
  testsupport::TemporaryDevice device;
  Retained<NSObject> target = objc_createObject(NSObject::class_());
};

}  // namespace

TEST_F(SpecifierList, AListThatCannotBeReadOrHasTheWrongShapeGivesNoArray) {
  EXPECT_FALSE(SpecifiersFromPlist(listPath, target.get(), nullptr)) << "missing";
  testing::internal::CaptureStderr();
  for (const char* contents : {"items = ()", "<plist version=\"1.0\"><dict>"}) EXPECT_FALSE(load(contents)) << contents;
  EXPECT_FALSE(load(plist("<array><dict><key>cell</key><string>PSGroupCell</string></dict></array>")));
  EXPECT_FALSE(load(plist("<dict><key>title</key><string>T</string></dict>"))) << "no items";
  EXPECT_FALSE(load(plist("<dict><key>items</key><dict/></dict>")));
  EXPECT_FALSE(load(plist("<dict><key>items</key><string>PSGroupCell</string></dict>")));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "a list that is unusable as a whole is not itemised";

  auto empty = load(plist("<dict><key>items</key><array/></dict>"));
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->count(), 0u);
  auto oldText = load("items = ();");
  ASSERT_TRUE(oldText) << "the old text format, as a strings file, is read as the platform reads it";
  EXPECT_EQ(oldText->count(), 0u);
}

TEST_F(SpecifierList, ItemsAreTakenWithEveryPropertyAndTheTargetSet) {
  Retained<NSString> title;
  auto specifiers = load(plist("<dict><key>title</key><string>Sounds</string><key>items</key><array>"
                               "<dict><key>cell</key><string>PSGroupCell</string>"
                               "<key>footerText</key><string>Below</string></dict>"
                               "<dict><key>cell</key><string>PSSwitchCell</string><key>label</key><string>On</string>"
                               "<key>key</key><string>isEnabled</string><key>default</key><true/>"
                               "<key>height</key><real>60</real></dict>"
                               "<dict><key>cell</key><string>PSLinkListCell</string><key>label</key><string>Theme</string>"
                               "<key>validValues</key><array><string>a</string><integer>2</integer></array>"
                               "<key>validTitles</key><array><string>Alpha</string><string>Two</string></array></dict>"
                               "</array></dict>"),
                         &title);
  ASSERT_TRUE(specifiers);
  ASSERT_EQ(specifiers->count(), 3u);
  EXPECT_EQ(text(title.get()), "Sounds");
  auto at = [&](std::size_t i) { return objc_cast<PSSpecifier>(specifiers->objectAtIndex(i)); };
  EXPECT_EQ(at(0)->cellType(), PSGroupCell);
  EXPECT_EQ(at(0)->name(), nullptr);
  EXPECT_EQ(text(at(0)->propertyForKey("footerText")), "Below");
  EXPECT_EQ(at(1)->cellType(), PSSwitchCell);
  EXPECT_EQ(text(at(1)->name()), "On");
  EXPECT_EQ(text(at(1)->propertyForKey("label")), "On");
  EXPECT_EQ(text(at(1)->propertyForKey("key")), "isEnabled");
  EXPECT_EQ(at(1)->height(), 60);
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(at(i)->target(), target.get());
  EXPECT_EQ(text(at(2)->values()), "(\n    a,\n    2\n)");
  EXPECT_EQ(text(at(2)->titleForValue(NSNumber::numberWithInteger(2).get())), "Two");
  EXPECT_EQ(text(at(2)->titleForValue(NSSTR("a"))), "Alpha");
}

TEST_F(SpecifierList, UnusableItemsAreSkippedWithALineNamingFileAndItem) {
  testing::internal::CaptureStderr();
  auto specifiers = load(plist("<dict><key>items</key><array>"
                               "<string>PSGroupCell</string>"
                               "<dict><key>label</key><string>No cell</string></dict>"
                               "<dict><key>cell</key><string>PSSliderCell</string></dict>"
                               "<dict><key>cell</key><string>PSSwitchCell</string><key>label</key><string>Kept</string></dict>"
                               "<dict><key>cell</key><string>PSLinkListCell</string>"
                               "<key>validValues</key><string>a</string></dict>"
                               "<dict><key>cell</key><integer>6</integer></dict>"
                               "</array></dict>"));
  std::string errors = testing::internal::GetCapturedStderr();
  ASSERT_TRUE(specifiers);
  ASSERT_EQ(specifiers->count(), 1u);
  EXPECT_EQ(text(objc_cast<PSSpecifier>(specifiers->objectAtIndex(0))->name()), "Kept");
  std::string prefix = std::string("Preferences: ") + listPath + ": item ";
  EXPECT_EQ(errors, prefix + "1 skipped: it is not a dictionary\n" +
                        prefix + "2 skipped: it has no \"cell\"\n" +
                        prefix + "3 skipped: unknown cell type \"PSSliderCell\"\n" +
                        prefix + "5 skipped: \"validValues\" and \"validTitles\" must be arrays\n" +
                        prefix + "6 skipped: it has no \"cell\"\n");
}

TEST_F(SpecifierList, APageLoadsFromItsBundleAndTakesTheListTitleOnlyWithoutOne) {
  testsupport::writeFile(device.host(listPath),
                         plist("<dict><key>title</key><string>From list</string><key>items</key><array>"
                               "<dict><key>cell</key><string>PSSwitchCell</string></dict></array></dict>"));
  auto page = UIViewController::controller(PSListController::class_());
  auto* list = objc_cast<PSListController>(page.get());
  auto load = [&] { return objc::send<NSArray*>(list, "loadSpecifiersFromPlistName:target:", NSSTR("Rows"), list); };
  EXPECT_EQ(load(), nullptr) << "without a bundle";
  list->setBundle(NSBundle::bundleWithPath(NSSTR("/Library/PreferenceBundles/Test.bundle")));
  NSArray* loaded = load();
  ASSERT_TRUE(loaded);
  EXPECT_EQ(objc_cast<PSSpecifier>(loaded->objectAtIndex(0))->target(), list);
  EXPECT_EQ(text(list->title()), "From list");
  EXPECT_EQ(objc::send<NSArray*>(list, "loadSpecifiersFromPlistName:target:", NSSTR("Missing"), list), nullptr);

  auto titled = UIViewController::controller(PSListController::class_());
  titled->setTitle(NSSTR("Own"));
  objc_cast<PSListController>(titled.get())->setBundle(list->bundle());
  objc::send<NSArray*>(titled.get(), "loadSpecifiersFromPlistName:target:", NSSTR("Rows"), list);
  EXPECT_EQ(text(titled->title()), "Own");
}

namespace {
int rowsTaken = 0;
}  // namespace

TEST_F(SpecifierList, APageOpenedFromALinkTakesItsRowThroughItsOwnSetSpecifier) {
  Class taking = objc::defineClass({
      .name = "SpecifierListTakingPage",
      .superclass = PSListController::class_(),
      .methods = {objc::method("setSpecifier:", +[](PSListController* self, SEL, PSSpecifier* row) {
        ++rowsTaken;
        objc::sendSuper(objc_getClass("SpecifierListTakingPage"), self, "setSpecifier:", row);
      })},
  });
  auto parent = UIViewController::controller(PSListController::class_());
  auto settingsApp = UINavigationController::controllerWithRootViewController(parent.get());  // keeps the page opened
  auto link = PSSpecifier::specifier();
  link->setCellType(PSLinkCell);
  link->setProperty_forKey(NSSTR("SpecifierListTakingPage"), "detail");
  rowsTaken = 0;
  UIViewController* opened = objc_cast<PSListController>(parent.get())->selectRow(link.get());
  ASSERT_TRUE(opened);
  EXPECT_EQ(object_getClass(opened), taking);
  EXPECT_EQ(rowsTaken, 1);
  EXPECT_EQ(objc_cast<PSListController>(opened)->specifier(), link.get());
}
