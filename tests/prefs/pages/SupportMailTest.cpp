#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "contract/Orvane.h"
#include "platform/device/Device.h"
#include "platform/libc/Process.h"
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
    navigation = UINavigationController::controllerWithRootViewController(root.get());
    navigation->beginAppearanceTransition(true, false);
    navigation->endAppearanceTransition(false);
  }

  MFMailComposeViewController* compose() {
    objc::send(root.get(), "emailQM");
    return objc_cast<MFMailComposeViewController>(navigation->presentedViewController());
  }

  /// Makes the device's package tool a script: `body` runs with $root the device's host root.
  /// The device's package tool, a script of the test's own, run by the host's shell.
  void replacePackageTool(const std::string& body) {
    std::string tool = device.host("/usr/bin/dpkg");
    writeFile(tool, "#!/bin/sh\nroot=$(cd \"$(dirname \"$0\")/../..\" && pwd -P)\n" + body);
    libc::setLocalCommand("/usr/bin/dpkg", {"/bin/sh", tool});
  }
  void TearDown() override { libc::setLocalCommand("/usr/bin/dpkg", {}); }

  /// The mail written to the outbox, as Python's email parser (default policy) reads it.
  std::string parsedWithPython(MFMailComposeViewController* mail, const std::string& script) {
    std::string output;
    int status = package::run({"python3", "-c",
                               "import email,email.policy,sys\n"
                               "m=email.message_from_bytes(open(sys.argv[1],'rb').read(),policy=email.policy.default)\n" +
                                   script,
                               device.host(mail->send())},
                              &output).value_or(-1);
    if (status == -1) return "(no python3)";
    EXPECT_EQ(status, 0) << output;
    return output;
  }

  std::string preferences() const { return device.host(orvane::contract::preferencesPathPrivate.c_str()); }

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

TEST_F(SupportMail, TheRootPageAdoptsTheMailComposersDelegateProtocolAndItsBaseDoesNot) {
  Protocol* delegate = objc_getProtocol("MFMailComposeViewControllerDelegate");
  ASSERT_TRUE(delegate) << "the platform's MessageUI registers it";
  EXPECT_TRUE(class_conformsToProtocol(objc_getClass("OrvaneListController"), delegate));
  EXPECT_TRUE(objc::send<bool>(root.get(), "conformsToProtocol:", delegate));
  EXPECT_FALSE(class_conformsToProtocol(objc_getClass("QMOrvaneListController"), delegate));
  auto configuration = settingsbundle::page("QMOrvaneConfigurationListController", root->bundle());
  EXPECT_FALSE(configuration->conformsToProtocol(delegate));
  MFMailComposeViewController* mail = compose();
  ASSERT_TRUE(mail);
  EXPECT_TRUE(mail->mailComposeDelegate()->conformsToProtocol(delegate));
  mail->cancel();
}

TEST_F(SupportMail, EveryOutcomeClosesTheComposerWithAnimation) {
  for (const char* outcome : {"send", "save", "cancel"}) {
    MFMailComposeViewController* mail = compose();
    ASSERT_TRUE(mail) << outcome;
    Retained<MFMailComposeViewController> keep = objc::retain(mail);
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
                            &output).value_or(-1);
  if (status == -1) GTEST_SKIP() << "no python3 to parse the message with";
  EXPECT_EQ(status, 0);
  EXPECT_EQ(output,
            "Orvane Support | Quillmark Support <support@quillmark.example>\n"
            "text/plain None b'\\n\\nCurrent Device: '\n"
            "application/xml OrvanePrefs.plist b'<?xml version=\"1.0'\n"
            "text/plain dpkgl.txt b'Desired=Unknown/In'\n");
}

TEST_F(SupportMail, WithoutAMailAccountNothingIsShown) {
  ASSERT_TRUE(device::setSetting("MailAccount", ""));
  testing::internal::CaptureStderr();
  EXPECT_EQ(compose(), nullptr);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("No Mail Accounts"), std::string::npos);
  EXPECT_FALSE(fs::exists(device.host("/tmp/dpkgl.log")));
}

namespace {

/// Drops CAP_FOWNER from the effective set while it lives, so that root obeys a sticky directory.
class WithoutOwnerOverride {
 public:
  WithoutOwnerOverride() {
    ok_ = syscall(SYS_capget, &header_, data_) == 0;
    auto dropped = data_[0];
    dropped.effective &= ~(1u << CAP_FOWNER);
    __user_cap_data_struct changed[2] = {dropped, data_[1]};
    ok_ = ok_ && syscall(SYS_capset, &header_, changed) == 0;
  }
  ~WithoutOwnerOverride() {
    if (ok_) syscall(SYS_capset, &header_, data_);
  }
  bool ok() const { return ok_; }

 private:
  __user_cap_header_struct header_ {_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data_[2] {};
  bool ok_ = false;
};

}  // namespace

TEST_F(SupportMail, ALinkThatCannotBeRemovedLeavesTheListingOut) {
  if (geteuid() != 0) GTEST_SKIP() << "making a link owned by another user needs root";
  // A sticky, world-writable /tmp that belongs to another user, as is /tmp on the phone.
  constexpr uid_t other = 54321;
  std::string tmp = device.host("/private/var/tmp");
  std::string listing = tmp + "/dpkgl.log";
  std::string victim = device.root() + "/victim.txt";
  writeFile(victim, "precious secret");
  ASSERT_EQ(::chmod(tmp.c_str(), 01777), 0);
  ASSERT_EQ(::chown(tmp.c_str(), other, other), 0);
  fs::create_symlink(victim, listing);
  ASSERT_EQ(::lchown(listing.c_str(), other, other), 0);
  fs::create_symlink(victim, tmp + "/probe");
  ASSERT_EQ(::lchown((tmp + "/probe").c_str(), other, other), 0);
  {
    WithoutOwnerOverride asAUser;
    if (!asAUser.ok() || ::unlink((tmp + "/probe").c_str()) == 0) GTEST_SKIP() << "cannot give up CAP_FOWNER here";
    MFMailComposeViewController* mail = compose();
    ASSERT_TRUE(mail);
    ASSERT_TRUE(fs::is_symlink(listing)) << "the link could not be removed";
    EXPECT_EQ(readFile(victim), "precious secret");
    for (auto& attachment : mail->attachments()) {
      EXPECT_NE(attachment.fileName, "dpkgl.txt") << "without a fresh listing there is no listing attachment";
      EXPECT_EQ(attachment.data.find("precious"), std::string::npos) << attachment.fileName;
    }
  }
  fs::remove(tmp + "/probe");
}

TEST_F(SupportMail, ALinkSwappedInAfterTheListingIsWrittenIsNotRead) {
  writeFile(device.root() + "/victim.txt", "precious secret");
  // The tool writes its listing, then puts a link to another file in its place.
  replacePackageTool(
      "echo 'Desired=Unknown/Install listing'\n"
      "ln -s \"$root/victim.txt\" \"$root/private/var/tmp/swap\" && mv -f \"$root/private/var/tmp/swap\" "
      "\"$root/private/var/tmp/dpkgl.log\"\n");
  for (int round = 0; round < 3; ++round) {
    MFMailComposeViewController* mail = compose();
    ASSERT_TRUE(mail);
    ASSERT_TRUE(fs::is_symlink(device.host("/tmp/dpkgl.log"))) << "the tool swapped the link in";
    ASSERT_EQ(mail->attachments().size(), 1u);
    EXPECT_EQ(mail->attachments()[0].fileName, "dpkgl.txt");
    EXPECT_EQ(mail->attachments()[0].data, "Desired=Unknown/Install listing\n");
    navigation->dismissViewControllerAnimated_completion(false, nullptr);
  }
}

TEST_F(SupportMail, AnAttachmentOverTwentyMegabytesIsLeftOut) {
  constexpr std::size_t limit = MFMailComposeViewController::maximumAttachmentLength;
  writeFile(preferences(), "");
  fs::resize_file(preferences(), std::size_t {1} << 30);  // sparse
  auto started = std::chrono::steady_clock::now();
  MFMailComposeViewController* mail = compose();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5)) << "the file is not read";
  ASSERT_TRUE(mail);
  ASSERT_EQ(mail->attachments().size(), 1u);
  EXPECT_EQ(mail->attachments()[0].fileName, "dpkgl.txt");
  EXPECT_LT(fs::file_size(device.host(mail->send())), std::size_t {1} << 20);

  fs::resize_file(preferences(), limit);
  EXPECT_EQ(compose()->attachments().size(), 2u) << "a file of exactly the limit goes along";
  navigation->dismissViewControllerAnimated_completion(false, nullptr);

  // The composer itself takes nothing larger, and says so.
  auto composer = MFMailComposeViewController::composer();
  testing::internal::CaptureStderr();
  composer->addAttachmentData_mimeType_fileName(NSData::dataWithBytes(std::string(limit + 1, 'x')).get(),
                                                NSSTR("text/plain"), NSSTR("big.txt"));
  std::string told = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(composer->attachments().empty());
  EXPECT_NE(told.find("\"big.txt\""), std::string::npos) << told;
}

TEST_F(SupportMail, APreferencesFileThatIsNoRegularFileIsLeftOutUnread) {
  ASSERT_EQ(::mkfifo(preferences().c_str(), 0644), 0);
  auto started = std::chrono::steady_clock::now();
  MFMailComposeViewController* mail = compose();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5)) << "a FIFO is not waited on";
  ASSERT_TRUE(mail);
  ASSERT_EQ(mail->attachments().size(), 1u);
  EXPECT_EQ(mail->attachments()[0].fileName, "dpkgl.txt");
}

TEST_F(SupportMail, OnlyTheAccountsDisplayNameIsEncoded) {
  const char* script =
      "for h in ('From','To'):\n"
      "  for a in m[h].addresses: print(h, repr(a.display_name), a.addr_spec)\n"
      "print(len(m.defects), [p.get_filename() for p in m.iter_attachments()])\n";
  struct Case {
    const char *account, *expected;
  } cases[] = {
      {"Jörg Müller-Lüdenscheidt und die Großältern 日本語 <joerg@example.org>",
       "From 'Jörg Müller-Lüdenscheidt und die Großältern 日本語' joerg@example.org\n"},
      {"\"Doe, J. \\\"Jay\\\"\" <jay@example.org>", "From 'Doe, J. \"Jay\"' jay@example.org\n"},
      {"Eve\r\nBcc: all@example.org <eve@example.org>", "From 'Eve  Bcc: all@example.org' eve@example.org\n"},
      {"plain@example.org", "From '' plain@example.org\n"},
  };
  for (auto& [account, expected] : cases) {
    ASSERT_TRUE(device::setSetting("MailAccount", account));
    MFMailComposeViewController* mail = compose();
    ASSERT_TRUE(mail);
    std::string output = parsedWithPython(mail, script);
    if (output == "(no python3)") GTEST_SKIP() << "no python3 to parse the message with";
    EXPECT_EQ(output, std::string(expected) +
                          "To 'Quillmark Support' support@quillmark.example\n"
                          "0 ['dpkgl.txt']\n")
        << account;
  }
}
