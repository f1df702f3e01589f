#include "platform/device/PreferencesChange.h"

#include <fmt/format.h>

#include <cstring>

#include "platform/device/Device.h"

namespace device {
namespace {

thread_local PreferencesChange* innermost = nullptr;
constexpr const char* lockFileName = ".preferences.lock";

}  // namespace

std::string preferencesLockFile() { return hostPath(fmt::format("{}/{}", preferencesDirectory, lockFileName)); }

PreferencesChange::PreferencesChange() : outer_(innermost) {
  // A second lock of the same file in this process would wait for the first forever.
  if (!outer_) {
    auto taken = files::ExclusiveLock::take(preferencesLockFile());
    if (taken) {
      lock_.emplace(std::move(*taken));
    } else {
      // The change goes on unguarded, as before, but whoever made it hears of it.
      failures_.push_back(fmt::format("cannot lock {}/{}: {}", preferencesDirectory, lockFileName,
                                      std::strerror(taken.error().code())));
    }
  }
  innermost = this;
}

PreferencesChange::~PreferencesChange() { innermost = outer_; }

PreferencesChange* PreferencesChange::current() { return innermost; }

void PreferencesChange::noteFailure(const std::string& failure) {
  for (PreferencesChange* change = this; change; change = change->outer_) change->failures_.push_back(failure);
}

}  // namespace device
