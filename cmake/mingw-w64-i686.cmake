# Toolchain for the 32-bit Windows build: i686 mingw-w64 with POSIX threads.
# 32-bit browser processes on 64-bit Windows load this build.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
