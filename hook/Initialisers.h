#pragma once

namespace orvane {

/// Registers for the settings-changed notification and loads the first snapshot.
void startUp();
/// Hooks VolumeControl's volume methods and adds merrowPlayMySong: to it.
void installHooks();

}  // namespace orvane
