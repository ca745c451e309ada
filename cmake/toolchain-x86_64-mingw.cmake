# Cross toolchain: 64-bit Windows, otherwise as the 32-bit one.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-i686-mingw.cmake)
