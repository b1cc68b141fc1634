# Cross-building for x86_64 Windows with mingw-w64 (posix threads flavour).
# CUSTOVIA_WIN_DEPS names the folder holding the Windows builds of Qt Core,
# libcurl, GoogleTest and cpp-httplib (scripts/build-windows fills it).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CUSTOVIA_WIN_TRIPLET x86_64-w64-mingw32)

include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
