#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tests/support/SimDeviceTest.h"

namespace fs = std::filesystem;

namespace {

using MailCommand = testsupport::SimDeviceTest;

}  // namespace

TEST_F(MailCommand, AMailThatCannotBeWrittenFailsWithTheReason) {
  std::string mail = root + "/private/var/mobile/Library/Mail";
  for (auto [answer, folder, said] : {std::tuple{"send", "Outbox", "Sent: /var/mobile/Library/Mail/Outbox/"},
                                      {"save", "Drafts", "Saved as a draft: /var/mobile/Library/Mail/Drafts/"}}) {
    auto done = sim({"settings", "tap", "Contact Support", "--mail", answer});
    ASSERT_EQ(done.status, 0) << done.err;
    EXPECT_NE(done.out.find(said), std::string::npos) << done.out;
    EXPECT_EQ(std::distance(fs::directory_iterator(mail + "/" + folder), fs::directory_iterator()), 1);

    // A folder that cannot be written to, and a file where the folder should be.
    ASSERT_EQ(::chmod((mail + "/" + folder).c_str(), 0555), 0);
    bool enforced = ::access((mail + "/" + folder).c_str(), W_OK) != 0;
    for (int round = 0; round < 2; ++round) {
      if (round == 0 && !enforced) continue;  // root writes anywhere
      if (round == 1) {
        ::chmod((mail + "/" + folder).c_str(), 0755);
        fs::remove_all(mail + "/" + folder);
        testsupport::writeFile(mail + "/" + folder, "not a folder");
      }
      auto failed = sim({"settings", "tap", "Contact Support", "--mail", answer});
      EXPECT_EQ(failed.status, 1) << answer << ": " << failed.out;
      EXPECT_EQ(failed.out.find(said), std::string::npos) << failed.out;
      EXPECT_NE(failed.err.find(std::string("the mail was not ") + (answer == std::string("send") ? "sent" : "saved")),
                std::string::npos)
          << failed.err;
      EXPECT_NE(failed.err.find(folder), std::string::npos) << failed.err;
    }
  }
}
