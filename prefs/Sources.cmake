# The settings bundle's sources, for the simulation's build and the device's.
set(ORVANE_PREFS_SOURCES
  BundleClasses.cpp QMOrvaneLocalizer.cpp QMOrvanePage.cpp
  pages/OrvaneListController.cpp pages/QMOrvaneConfigurationListController.cpp pages/QMOrvaneMakersListController.cpp pages/ShareAction.cpp
  pages/TitledPage.cpp views/QMOrvaneCustomHeaderView.cpp views/QMOrvaneLogoTableCell.cpp views/QMOrvaneDeveloperTableCell.cpp
  ../support/Objects.cpp)
# Its resources, copied into Orvane.bundle as they are.
set(ORVANE_PREFS_RESOURCES Info.plist Orvane.plist OrvaneConfiguration.plist OrvaneMakers.plist
  en.lproj/Localizable.strings de.lproj/Localizable.strings)
