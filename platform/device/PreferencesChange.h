#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/device/FileUtilities.h"

namespace device {

/// One change of the device's preferences: a file read, changed and written
/// back. While the outermost change of a thread is open no other change on the
/// device runs, in any process (a lock on a file beside the preference files),
/// so no writer's change is lost. Changes nest within a thread. Writes that
/// fail while a change is open are noted in it and in the changes around it.
class PreferencesChange {
 public:
  PreferencesChange();
  ~PreferencesChange();
  PreferencesChange(const PreferencesChange&) = delete;
  PreferencesChange& operator=(const PreferencesChange&) = delete;

  /// What failed while the change was open, one sentence each; empty if nothing did.
  const std::vector<std::string>& failures() const { return failures_; }

  /// The innermost open change of this thread, or null.
  static PreferencesChange* current();
  void noteFailure(const std::string& failure);

 private:
  PreferencesChange* outer_;
  std::optional<files::ExclusiveLock> lock_;
  std::vector<std::string> failures_;
};

/// The host path of the lock file that changes take.
std::string preferencesLockFile();

}  // namespace device
