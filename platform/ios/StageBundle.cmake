# Puts the settings bundle into a package's staging root, when its executable
# was built: the executable, its resources, the artwork at every scale, and the
# Settings entry that PreferenceLoader reads.
if(NOT EXISTS ${BUNDLE}/Orvane)
  return()
endif()
set(target ${STAGE}/Library/PreferenceBundles/Orvane.bundle)
file(MAKE_DIRECTORY ${target})
file(COPY ${BUNDLE}/Orvane DESTINATION ${target}
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
foreach(resource IN LISTS RESOURCES)
  get_filename_component(folder ${resource} DIRECTORY)
  file(COPY ${SOURCE}/prefs/resources/${resource} DESTINATION ${target}/${folder})
endforeach()
file(GLOB artwork ${ARTWORK}/*.png)
if(NOT artwork)
  message(FATAL_ERROR "no artwork in ${ARTWORK}: build the simulation first")
endif()
file(COPY ${artwork} DESTINATION ${target})
file(COPY ${SOURCE}/prefs/resources/entry/Orvane.plist DESTINATION ${STAGE}/Library/PreferenceLoader/Preferences)
