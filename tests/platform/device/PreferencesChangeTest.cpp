#include "platform/device/PreferencesChange.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/device/Device.h"
#include "tests/support/TemporaryDevice.h"

namespace {

TEST(PreferencesChange, AChangeThatCannotTakeTheLockSaysWhyAndTheChangesAroundItHearOfIt) {
  testsupport::TemporaryDevice device;
  {
    device::PreferencesChange change;
    EXPECT_TRUE(change.failures().empty());
  }
  // A lock file that leads elsewhere is never followed, so the lock cannot be taken.
  std::filesystem::remove(device::preferencesLockFile());
  std::filesystem::create_symlink(device.host("/elsewhere"), device::preferencesLockFile());
  device::PreferencesChange outer;
  device::PreferencesChange inner;
  inner.noteFailure("cannot write x");
  EXPECT_EQ(outer.failures(), (std::vector<std::string>{
                                  "cannot lock /var/mobile/Library/Preferences/.preferences.lock: Too many levels of "
                                  "symbolic links",
                                  "cannot write x"}));
  EXPECT_EQ(inner.failures(), std::vector<std::string>{"cannot write x"}) << "only the outermost change takes the lock";
  EXPECT_FALSE(std::filesystem::exists(device.host("/elsewhere")));
}

}  // namespace
