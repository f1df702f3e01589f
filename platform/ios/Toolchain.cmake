# Cross-compiling for iOS with clang 14: objects only; linking is done with
# ld64.lld against the text stubs of stubs/.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_CXX_COMPILER clang++-14)
set(CMAKE_CXX_COMPILER_TARGET arm64-apple-ios7.0)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
