// The settings pages' frameworks as the device face reaches them: each call is
// a send answered by the stand-in, checked for what it gives and for who owns it.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "platform/objc/AutoreleasePool.h"
#include "platform/foundation/Foundation.h"
#include "platform/messageui/MFMailComposeViewController.h"
#include "platform/objc/Methods.h"
#include "platform/preferences/PSListController.h"
#include "platform/preferences/PSSpecifier.h"
#include "platform/preferences/PSTableCell.h"
#include "platform/social/SLComposeViewController.h"
#include "platform/uikit/UIKit.h"
#include "support/Objects.h"

namespace {

unsigned long retainCountOf(const objc_object* object) {
  return objc::sendMessage<unsigned long>(object, ORVANE_SEL("retainCount"));
}

template <class T>
Retained<T> made(Class cls = T::class_()) {
  return objc::allocInit<T>(cls, ORVANE_SEL("init"));
}

Retained<NSString> string(std::string_view text) { return NSString::stringWithUTF8String(text); }

/// Tells when an object has been freed: the object holds the witness and lets go of it as it goes.
class FreedWitness {
 public:
  explicit FreedWitness(objc_object* watched) : witness_(made<NSObject>()) {
    objc_setAssociatedObject(watched, &key, witness_.get(), OBJC_ASSOCIATION_RETAIN);
  }
  bool freed() const { return retainCountOf(witness_.get()) == 1; }

 private:
  static inline const char key = 0;
  Retained<NSObject> witness_;
};

/// A device of its own for a test, with the accounts it is given.
class DeviceWithAccounts : public testing::Test {
 protected:
  void SetUp() override {
    if (const char* previous = getenv("ORVANE_DEVICE")) previous_ = previous;
    std::string pattern = (std::filesystem::temp_directory_path() / "face-prefs-XXXXXX").string();
    ASSERT_TRUE(mkdtemp(pattern.data()));
    root_ = pattern;
    std::filesystem::create_directories(root_ / ".orvane-sim");
    setenv("ORVANE_DEVICE", root_.c_str(), 1);
  }
  void TearDown() override {
    if (previous_.empty()) unsetenv("ORVANE_DEVICE");
    else setenv("ORVANE_DEVICE", previous_.c_str(), 1);
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  void addAccount(const std::string& setting, const std::string& name) {
    std::ofstream settings(root_ / ".orvane-sim/Device.plist");
    settings << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict><key>" << setting
        << "</key><string>" << name << "</string></dict></plist>\n";
  }

  AutoreleasePool pool;

 private:
  std::filesystem::path root_;
  std::string previous_;
};

using Mail = DeviceWithAccounts;
using Share = DeviceWithAccounts;

TEST(DeviceFacePreferences, SpecifierKeepsItsNameAndTitles) {
  AutoreleasePool pool;
  Retained<PSSpecifier> specifier = made<PSSpecifier>();
  ASSERT_TRUE(specifier);
  EXPECT_EQ(retainCountOf(specifier.get()), 1u);
  FreedWitness specifierFreed(specifier.get());

  Retained<NSString> name = string("Volume Up");
  Retained<NSDictionary> titles = made<NSDictionary>(), shortTitles = made<NSDictionary>();
  EXPECT_EQ(specifier->name(), nullptr);
  EXPECT_EQ(specifier->titleDictionary(), nullptr);
  EXPECT_EQ(specifier->shortTitleDictionary(), nullptr);
  specifier->setName(name.get());
  specifier->setTitleDictionary(titles.get());
  specifier->setShortTitleDictionary(shortTitles.get());
  EXPECT_EQ(specifier->name(), name.get());
  EXPECT_EQ(specifier->titleDictionary(), titles.get());
  EXPECT_EQ(specifier->shortTitleDictionary(), shortTitles.get());
  for (const objc_object* kept : {static_cast<const objc_object*>(name.get()), static_cast<const objc_object*>(titles.get()),
                                  static_cast<const objc_object*>(shortTitles.get())})
    EXPECT_EQ(retainCountOf(kept), 2u) << "kept by the row; asking gives no reference";

  specifier = nullptr;
  EXPECT_TRUE(specifierFreed.freed());
  EXPECT_EQ(retainCountOf(name.get()), 1u);
  EXPECT_EQ(retainCountOf(titles.get()), 1u);
  EXPECT_EQ(retainCountOf(shortTitles.get()), 1u);
}

TEST(DeviceFacePreferences, SpecifierKeepsItsPropertiesUntilNilTakesThemAway) {
  AutoreleasePool pool;
  // The face names keys with interned strings; they need Foundation's dictionary sends.
  if (!class_respondsToSelector(NSMutableDictionary::class_(), ORVANE_SEL("setObject:forKey:")))
    GTEST_SKIP() << "NSMutableDictionary does not answer setObject:forKey: yet";
  Retained<PSSpecifier> specifier = made<PSSpecifier>();
  Retained<NSObject> value = made<NSObject>();
  EXPECT_EQ(specifier->propertyForKey(NSSTR("default")), nullptr);
  specifier->setProperty_forKey(value.get(), NSSTR("default"));
  EXPECT_EQ(specifier->propertyForKey(NSSTR("default")), value.get());
  EXPECT_EQ(retainCountOf(value.get()), 2u) << "the row keeps its properties, and asking gives no reference";
  specifier->setProperty_forKey(nullptr, NSSTR("default"));
  EXPECT_EQ(specifier->propertyForKey(NSSTR("default")), nullptr);
  EXPECT_EQ(retainCountOf(value.get()), 1u);
  specifier->setProperty_forKey(value.get(), NSSTR("default"));
  specifier = nullptr;
  EXPECT_EQ(retainCountOf(value.get()), 1u) << "a freed row lets its properties go";
}

int specifiersMade = 0;

/// A page of the product's kind: its own "specifiers" fills "_specifiers" when it is empty.
Class countingPage() {
  auto specifiers = +[](PSListController* self, SEL) -> NSArray* {
    NSArray*& kept = objc::instanceVariable<NSArray*>(self, "_specifiers");
    if (!kept) {
      ++specifiersMade;
      kept = made<NSArray>().leak();
    }
    return kept;
  };
  static Class cls = objc::defineClass({.name = "FacePrefsCountingPage",
                                        .superclass = PSListController::class_(),
                                        .methods = {objc::method("specifiers", specifiers)}});
  return cls;
}

TEST(DeviceFacePreferences, ReloadingAPageAsksItsOwnSpecifiersAgainAndLetsTheOldRowsGo) {
  AutoreleasePool pool;
  Retained<PSListController> page = made<PSListController>(countingPage());
  ASSERT_TRUE(page);
  FreedWitness pageFreed(page.get());
  specifiersMade = 0;
  page->reloadSpecifiers();
  EXPECT_EQ(specifiersMade, 1) << "the subclass's override is reached";
  NSArray* first = objc::instanceVariable<NSArray*>(page.get(), "_specifiers");
  ASSERT_TRUE(first);
  FreedWitness firstFreed(first);

  EXPECT_EQ(page->table(), nullptr) << "no table before the view is loaded";
  objc::sendMessage<void>(page.get(), ORVANE_SEL("loadView"));
  UITableView* table = page->table();
  ASSERT_TRUE(table);
  unsigned long held = retainCountOf(table);
  EXPECT_EQ(page->table(), table);
  EXPECT_EQ(retainCountOf(table), held) << "the page keeps its table; asking gives no reference";
  FreedWitness tableFreed(table);

  page->reloadSpecifiers();
  EXPECT_EQ(specifiersMade, 2);
  EXPECT_NE(objc::instanceVariable<NSArray*>(page.get(), "_specifiers"), nullptr);
  page = nullptr;
  EXPECT_TRUE(firstFreed.freed());
  EXPECT_TRUE(pageFreed.freed()) << "the page and its second rows go with the last reference";
  EXPECT_TRUE(tableFreed.freed());

  // A page of choices opened without its row has none to show, and reloads to nothing.
  Retained<PSListController> choices = made<PSListController>(PSListItemsController::class_());
  ASSERT_TRUE(choices);
  EXPECT_TRUE(choices->isKindOfClass(PSListController::class_()));
  EXPECT_EQ(choices->specifier(), nullptr);
  choices->reloadSpecifiers();
  EXPECT_EQ(objc::instanceVariable<NSArray*>(choices.get(), "_specifiers"), nullptr);
}

TEST(DeviceFacePreferences, PageAndCellGiveTheRowTheyWereMadeForWithoutAReference) {
  AutoreleasePool pool;
  Retained<PSSpecifier> row = made<PSSpecifier>();
  Retained<PSListController> page = made<PSListController>();
  ASSERT_TRUE(page);
  EXPECT_EQ(page->bundle(), nullptr) << "a page not opened from a bundle has none";
  EXPECT_EQ(page->specifier(), nullptr);
  objc::sendMessage<void>(page.get(), ORVANE_SEL("setSpecifier:"), row.get());
  EXPECT_EQ(page->specifier(), row.get());
  EXPECT_EQ(retainCountOf(row.get()), 2u);

  Retained<PSTableCell> cell =
      objc::allocInit<PSTableCell>(PSTableCell::class_(), ORVANE_SEL("initWithStyle:reuseIdentifier:specifier:"),
                                   UITableViewCellStyleDefault, string("PSSwitchCell").get(), row.get());
  ASSERT_TRUE(cell);
  EXPECT_EQ(retainCountOf(cell.get()), 1u);
  EXPECT_EQ(cell->specifier(), row.get());
  EXPECT_EQ(retainCountOf(row.get()), 3u);
  UILabel* title = cell->titleLabel();
  ASSERT_TRUE(title);
  EXPECT_TRUE(title->isKindOfClass(UILabel::class_()));
  EXPECT_EQ(cell->titleLabel(), title) << "one label, kept by the cell";

  cell = nullptr;
  page = nullptr;
  EXPECT_EQ(retainCountOf(row.get()), 1u) << "page and cell let their row go";
}

TEST_F(Mail, WithoutAnAccountNoComposerIsMadeAndNoneIsLeft) {
  EXPECT_FALSE(MFMailComposeViewController::canSendMail());
  testing::internal::CaptureStderr();
  EXPECT_FALSE(MFMailComposeViewController::composer());
  EXPECT_NE(testing::internal::GetCapturedStderr().find("No Mail Accounts"), std::string::npos)
      << "the system tells the person, as a phone does";

  // The initialiser refuses, and gives up the instance it was sent to.
  id allocated = objc::alloc<MFMailComposeViewController>().leak();
  FreedWitness allocatedFreed(allocated);
  testing::internal::CaptureStderr();
  EXPECT_EQ(objc::sendMessage<id>(allocated, ORVANE_SEL("init")), nullptr);
  testing::internal::GetCapturedStderr();
  EXPECT_TRUE(allocatedFreed.freed());
}

TEST_F(Mail, TheComposerKeepsWhatItIsGivenAndNotItsDelegate) {
  addAccount("MailAccount", "me@example.com");
  ASSERT_TRUE(MFMailComposeViewController::canSendMail());
  Retained<MFMailComposeViewController> composer = MFMailComposeViewController::composer();
  ASSERT_TRUE(composer);
  EXPECT_TRUE(composer->isKindOfClass(MFMailComposeViewController::class_()));
  EXPECT_EQ(retainCountOf(composer.get()), 1u) << "init hands over the one reference";
  FreedWitness composerFreed(composer.get());

  Retained<NSString> subject = string("Orvane"), body = string("<p>Hello</p>");
  Retained<NSArray> recipients = made<NSArray>();
  Retained<NSData> data = made<NSData>();
  Retained<NSObject> delegate = made<NSObject>();
  composer->setSubject(subject.get());
  composer->setToRecipients(recipients.get());
  composer->setMessageBody_isHTML(body.get(), true);
  composer->addAttachmentData_mimeType_fileName(data.get(), string("text/plain").get(), string("log.txt").get());
  composer->setMailComposeDelegate(delegate.get());
  EXPECT_EQ(retainCountOf(subject.get()), 2u);
  EXPECT_EQ(retainCountOf(recipients.get()), 2u);
  EXPECT_EQ(retainCountOf(body.get()), 2u);
  EXPECT_EQ(retainCountOf(delegate.get()), 1u) << "the delegate is not owned, as the platform's is not";

  composer = nullptr;
  EXPECT_TRUE(composerFreed.freed());
  EXPECT_EQ(retainCountOf(subject.get()), 1u);
  EXPECT_EQ(retainCountOf(recipients.get()), 1u);
  EXPECT_EQ(retainCountOf(body.get()), 1u);
}

TEST_F(Share, TheSheetIsAvailableOnlyForTwitterWithAnAccount) {
  EXPECT_FALSE(SLComposeViewController::isAvailableForServiceType(SLServiceTypeTwitter));
  addAccount("TwitterAccount", "@orvane");
  EXPECT_TRUE(SLComposeViewController::isAvailableForServiceType(SLServiceTypeTwitter));
  EXPECT_FALSE(SLComposeViewController::isAvailableForServiceType(string("com.apple.social.facebook").get()));
  EXPECT_FALSE(SLComposeViewController::isAvailableForServiceType(nullptr));
}

TEST_F(Share, TheSheetIsHandedOverAutoreleasedAndKeepsItsTextAndItsOwnCopyOfTheHandler) {
  addAccount("TwitterAccount", "@orvane");
  Retained<SLComposeViewController> sheet;
  {
    AutoreleasePool inner;
    sheet = SLComposeViewController::composeViewControllerForServiceType(SLServiceTypeTwitter);
  }
  ASSERT_TRUE(sheet);
  EXPECT_TRUE(sheet->isKindOfClass(SLComposeViewController::class_()));
  EXPECT_EQ(retainCountOf(sheet.get()), 1u) << "the pool's reference went with the pool; the face's own remains";
  FreedWitness sheetFreed(sheet.get());

  Retained<NSString> text = string("Listening to Orvane");
  EXPECT_TRUE(sheet->setInitialText(text.get()));
  EXPECT_EQ(retainCountOf(text.get()), 2u);

  auto captured = std::make_shared<int>(0);
  sheet->setCompletionHandler([captured](SLComposeViewControllerResult) {});
  EXPECT_EQ(captured.use_count(), 2) << "the sheet copied the block, which outlives the call";
  sheet->setCompletionHandler(nullptr);
  EXPECT_EQ(captured.use_count(), 1) << "no handler lets the copy go";
  sheet->setCompletionHandler([captured](SLComposeViewControllerResult) {});
  EXPECT_EQ(captured.use_count(), 2);

  sheet = nullptr;
  EXPECT_TRUE(sheetFreed.freed());
  EXPECT_EQ(captured.use_count(), 1) << "the sheet's copy of the block goes with it";
  EXPECT_EQ(retainCountOf(text.get()), 1u);
}

}  // namespace
