# The hook library's sources, for the simulation's build and the device's.
set(ORVANE_HOOK_SOURCES Initialisers.cpp Preferences.cpp ThemeNames.cpp VolumeHooks.cpp ../support/Objects.cpp)
