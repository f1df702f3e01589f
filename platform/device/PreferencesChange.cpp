#include "platform/device/PreferencesChange.h"

#include "platform/device/Device.h"

namespace device {
namespace {

thread_local PreferencesChange* innermost = nullptr;

}  // namespace

std::string preferencesLockFile() { return hostPath(std::string(preferencesDirectory) + "/.preferences.lock"); }

PreferencesChange::PreferencesChange() : outer_(innermost) {
  // A second lock of the same file in this process would wait for the first forever.
  if (!outer_) lock_ = std::make_unique<files::ExclusiveLock>(preferencesLockFile());
  innermost = this;
}

PreferencesChange::~PreferencesChange() { innermost = outer_; }

PreferencesChange* PreferencesChange::current() { return innermost; }

void PreferencesChange::noteFailure(const std::string& failure) {
  for (PreferencesChange* change = this; change; change = change->outer_) change->failures_.push_back(failure);
}

}  // namespace device
