#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/device/Device.h"
#include "platform/messageui/MFMailComposeViewController.h"
#include "sim/common/Package.h"
#include "tests/prefs/SettingsBundle.h"

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

class SupportMail : public ::testing::Test {
 protected:
  void SetUp() override {
    // The device's package database lists the tweak, as after `orvane-sim init`.
    writeFile(device.host("/private/var/lib/dpkg/status"),
              "Package: com.quillmark.orvane\nStatus: install ok installed\nMaintainer: Quillmark\n"
              "Architecture: all\nVersion: 1.0.0\nDescription: A sound on every press of a volume button.\n\n");
    NSBundle* bundle = settingsbundle::installBuilt(device);
    root = settingsbundle::page("OrvaneListController", bundle);
    navigation = UINavigationController::controllerWithRootViewController(root);
    navigation->beginAppearanceTransition(true, false);
    navigation->endAppearanceTransition(false);
  }

  MFMailComposeViewController* compose() {
    objc::send(root.get(), "emailQM");
    return objc_cast<MFMailComposeViewController>(navigation->presentedViewController());
  }

  std::string preferences() const { return device.host("/private/var/mobile/Library/Preferences/com.quillmark.orvane.plist"); }

  AutoreleasePool pool;
  testsupport::TemporaryDevice device;
  Retained<PSListController> root;
  Retained<UINavigationController> navigation;
};

}  // namespace

TEST_F(SupportMail, FieldsBodyAndAttachmentsInTheirOrder) {
  writeFile(preferences(), "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>isEnabled</key><true/></dict></plist>");
  MFMailComposeViewController* mail = compose();
  ASSERT_TRUE(mail);
  EXPECT_TRUE(navigation->lastTransitionAnimated());
  EXPECT_EQ(mail->fieldOrder(), (std::vector<std::string>{"subject", "to", "body", "attachment", "attachment", "delegate"}));
  EXPECT_EQ(mail->subject()->utf8(), "Orvane Support");
  ASSERT_EQ(mail->toRecipients()->count(), 1u);
  EXPECT_EQ(mail->toRecipients()->objectAtIndex(0)->description(), "Quillmark Support <support@quillmark.example>");
  EXPECT_FALSE(mail->ccRecipients());
  EXPECT_FALSE(mail->bccRecipients());
  EXPECT_FALSE(mail->isHTML());
  EXPECT_EQ(mail->messageBody()->utf8(), "\n\nCurrent Device: iPhone7,2, iOS 8.1 (12B411)");
  ASSERT_EQ(mail->attachments().size(), 2u);
  EXPECT_EQ(mail->attachments()[0].fileName, "OrvanePrefs.plist");
  EXPECT_EQ(mail->attachments()[0].mimeType, "application/xml");
  EXPECT_EQ(mail->attachments()[0].data, readFile(preferences()));
  EXPECT_EQ(mail->attachments()[1].fileName, "dpkgl.txt");
  EXPECT_EQ(mail->attachments()[1].mimeType, "text/plain");
  EXPECT_EQ(mail->attachments()[1].data, readFile(device.host("/private/var/tmp/dpkgl.log")));
  EXPECT_NE(mail->attachments()[1].data.find("ii  com.quillmark.orvane"), std::string::npos)
      << "dpkg -l lists the device's own packages:\n" << mail->attachments()[1].data;
  EXPECT_EQ(mail->mailComposeDelegate(), root.get());
}

TEST_F(SupportMail, TheListingIsRewrittenEachTimeAndAPlantedLinkIsNotFollowed) {
  std::string listing = device.host("/tmp/dpkgl.log");
  std::string victim = device.root() + "/victim.txt";
  writeFile(victim, "precious");
  fs::create_symlink(victim, listing);
  ASSERT_TRUE(compose());
  EXPECT_EQ(readFile(victim), "precious");
  EXPECT_FALSE(fs::is_symlink(listing));
  navigation->dismissViewControllerAnimated_completion(false, nullptr);

  writeFile(listing, "stale listing");
  MFMailComposeViewController* second = compose();
  ASSERT_TRUE(second);
  EXPECT_EQ(readFile(listing).find("stale"), std::string::npos);
  EXPECT_TRUE(fs::exists(listing)) << "the listing stays after the mail";
  // Without a preferences file the attachment is left out, not sent empty.
  ASSERT_EQ(second->attachments().size(), 1u);
  EXPECT_EQ(second->attachments()[0].fileName, "dpkgl.txt");
}

TEST_F(SupportMail, EveryOutcomeClosesTheComposerWithAnimation) {
  for (const char* outcome : {"send", "save", "cancel"}) {
    MFMailComposeViewController* mail = compose();
    ASSERT_TRUE(mail) << outcome;
    Retained<MFMailComposeViewController> keep = mail;
    std::string stored = outcome == std::string("send") ? mail->send() : outcome == std::string("save") ? mail->save() : "";
    if (outcome == std::string("cancel")) mail->cancel();
    EXPECT_EQ(navigation->presentedViewController(), nullptr) << outcome;
    EXPECT_TRUE(navigation->lastTransitionAnimated()) << outcome;
    EXPECT_EQ(navigation->topViewController(), root.get());
    if (outcome == std::string("send")) {
      EXPECT_TRUE(stored.starts_with("/var/mobile/Library/Mail/Outbox/")) << stored;
    }
  }
}

TEST_F(SupportMail, TheSentMessageReadsBackWithAMimeParser) {
  writeFile(preferences(), "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict/></plist>");
  MFMailComposeViewController* mail = compose();
  ASSERT_TRUE(mail);
  std::string sent = device.host(mail->send());
  std::string output;
  int status = package::run({"python3", "-c",
                             "import email,sys\n"
                             "m=email.message_from_bytes(open(sys.argv[1],'rb').read())\n"
                             "print(m['Subject'],'|',m['To'])\n"
                             "for p in m.walk():\n"
                             "  if not p.is_multipart(): print(p.get_content_type(),p.get_filename(),repr(p.get_payload(decode=True)[:18]))\n",
                             sent},
                            &output);
  if (status == -1) GTEST_SKIP() << "no python3 to parse the message with";
  EXPECT_EQ(status, 0);
  EXPECT_EQ(output,
            "Orvane Support | Quillmark Support <support@quillmark.example>\n"
            "text/plain None b'\\n\\nCurrent Device: '\n"
            "application/xml OrvanePrefs.plist b'<?xml version=\"1.0'\n"
            "text/plain dpkgl.txt b'Desired=Unknown/In'\n");
}

TEST_F(SupportMail, WithoutAMailAccountNothingIsShown) {
  device::setSetting("MailAccount", "");
  testing::internal::CaptureStderr();
  EXPECT_EQ(compose(), nullptr);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("No Mail Accounts"), std::string::npos);
  EXPECT_FALSE(fs::exists(device.host("/tmp/dpkgl.log")));
}
