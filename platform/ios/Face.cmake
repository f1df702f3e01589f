# The device face on the simulated device. Code built with it sees the
# platform as a phone shows it: the headers of platform/ios/include and
# nothing of the stand-in's, its sends reaching the stand-in's classes
# through the stand-in's runtime, by selector.
set(ORVANE_FACE_INCLUDE ${CMAKE_SOURCE_DIR}/platform/ios/include)
# The plain declarations (C functions, types, constants) both builds share.
set(ORVANE_COMMON_INCLUDE ${CMAKE_SOURCE_DIR}/platform/common/include)

# The face's few out-of-line parts; each binary has its own copy, as on a phone.
add_library(face-support OBJECT ${CMAKE_SOURCE_DIR}/platform/ios/src/Runtime.cpp)

# The product's own folders, and nothing else of the repository: a header the
# face lacks is an error here, never the stand-in's.
set(ORVANE_PRODUCT_INCLUDE ${CMAKE_BINARY_DIR}/product-include)
file(MAKE_DIRECTORY ${ORVANE_PRODUCT_INCLUDE})
foreach(folder contract support hook prefs)
  file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${ORVANE_PRODUCT_INCLUDE}/${folder} SYMBOLIC)
endforeach()

# orvane_use_device_face(TARGET [EXTRA_INCLUDES dirs...]): compiles the
# target against the face alone. Its inline copies of the face stay inside
# its binary, so they never stand in for the stand-in's own C++ members.
option(ORVANE_FACE_COVERAGE "Count which of the face's functions run (scripts/face-coverage)" OFF)

function(orvane_use_device_face target)
  cmake_parse_arguments(ARG "" "" "EXTRA_INCLUDES" ${ARGN})
  set_property(TARGET ${target} PROPERTY INCLUDE_DIRECTORIES ${ORVANE_FACE_INCLUDE} ${ORVANE_COMMON_INCLUDE}
    ${ORVANE_PRODUCT_INCLUDE} ${ARG_EXTRA_INCLUDES})
  target_compile_definitions(${target} PRIVATE ORVANE_STAND_IN=1)
  set_target_properties(${target} PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  # Linked frameworks load though nothing names their symbols: code reaches
  # them by selector, as the device's dynamic loader loads what is linked.
  target_link_options(${target} PRIVATE LINKER:--no-as-needed)
  if(ORVANE_FACE_COVERAGE)
    target_compile_options(${target} PRIVATE --coverage -O0)
    target_link_options(${target} PRIVATE --coverage)
  endif()
  get_target_property(type ${target} TYPE)
  if(NOT type STREQUAL "OBJECT_LIBRARY")
    target_sources(${target} PRIVATE $<TARGET_OBJECTS:face-support>)
  endif()
endfunction()
orvane_use_device_face(face-support)
