#include "contract/Orvane.h"

#include <gtest/gtest.h>

#include "platform/device/FileUtilities.h"
#include "platform/foundation/Foundation.h"
#include "tests/support/TemporaryDevice.h"

namespace contract = orvane::contract;

namespace {

// What each side spells must lead to what the other side spells, on the device as on the phone.
TEST(Contract, EveryFormOfThePreferencesPathLeadsToTheOneFile) {
  testsupport::TemporaryDevice device;
  testsupport::writeFile(device.host(contract::preferencesPath.c_str()), "stored");
  for (std::string_view form : {contract::preferencesPath.view(), contract::preferencesPathPrivate.view(),
                                contract::preferencesPathUser.view()}) {
    auto read = files::readDeviceFile(std::string(form), 64);
    ASSERT_TRUE(read) << form << ": " << read.error().message();
    EXPECT_EQ(*read, "stored") << form;
  }
}

TEST(Contract, TheSoundPathTemplateNamesTheThemesFileInTheSoundDirectory) {
  auto path = NSString::stringWithFormat(contract::soundPathTemplate, NSSTR("Glass"));
  EXPECT_EQ(path->utf8(), contract::soundDirectory.view().data() + std::string("Glass.wav"));
  EXPECT_EQ(contract::soundDirectory.view(), "/Library/Application Support/Orvane/");
  EXPECT_EQ(contract::settingsChanged.view(), "com.quillmark.orvane/settingschanged");
  EXPECT_EQ(contract::preferencesPathUser.view(), "/User/Library/Preferences/com.quillmark.orvane.plist");
}

}  // namespace
