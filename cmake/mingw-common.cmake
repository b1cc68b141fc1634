# Shared part of the mingw-w64 toolchain files; expects CUSTOVIA_WIN_TRIPLET.
set(CMAKE_C_COMPILER ${CUSTOVIA_WIN_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CUSTOVIA_WIN_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${CUSTOVIA_WIN_TRIPLET}-windres)

if(NOT CUSTOVIA_WIN_DEPS)
  if(DEFINED ENV{CUSTOVIA_WIN_DEPS})
    set(CUSTOVIA_WIN_DEPS $ENV{CUSTOVIA_WIN_DEPS})
  else()
    set(CUSTOVIA_WIN_DEPS /var/cache/custovia-win/${CMAKE_SYSTEM_PROCESSOR})
  endif()
endif()
# try_compile projects read this file again and need the same folder.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES CUSTOVIA_WIN_DEPS)

# Libraries, headers and package files come from the target side only; the
# host's Qt tools (moc, rcc) are found through the Qt build's own files.
set(CMAKE_FIND_ROOT_PATH /usr/${CUSTOVIA_WIN_TRIPLET} ${CUSTOVIA_WIN_DEPS}/qt
    ${CUSTOVIA_WIN_DEPS}/curl ${CUSTOVIA_WIN_DEPS}/gtest ${CUSTOVIA_WIN_DEPS}/headers)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config looks at the target's .pc files only.
set(ENV{PKG_CONFIG_LIBDIR} ${CUSTOVIA_WIN_DEPS}/headers/lib/pkgconfig)
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
