# Cross-compiling the Windows build (x86-64) on Linux with Debian's mingw-w64 toolchain.
# The -posix variant provides std::thread and std::mutex, which GoogleTest needs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KALVO_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KALVO_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KALVO_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KALVO_MINGW_PREFIX}-windres)

# Look for libraries and headers in the mingw tree only, never on the build machine; programs
# (windres, wine) come from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${KALVO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config would answer with the build machine's .pc files (cairo, X11, ...).
set(ENV{PKG_CONFIG_LIBDIR} /usr/${KALVO_MINGW_PREFIX}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
