# Settings shared by the mingw-w64 toolchain files (Debian's POSIX threads
# flavour); they set MERVIL_MINGW_TARGET, CMAKE_SYSTEM_PROCESSOR and the wine
# loader and prefix architecture of the target first.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${MERVIL_MINGW_TARGET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MERVIL_MINGW_TARGET}-g++-posix)
set(CMAKE_RC_COMPILER ${MERVIL_MINGW_TARGET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MERVIL_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# CTest runs the test programs under wine, without messages or a display and
# in a wine prefix of the build folder's own, never the user's. The loader is
# named directly: Debian's /usr/bin/wine falls back to wine64 when the 32-bit
# one is missing, which would fail every 32-bit test for the wrong reason.
set(CMAKE_CROSSCOMPILING_EMULATOR
    /usr/bin/env -u DISPLAY WINEDEBUG=-all WINEARCH=${MERVIL_WINE_ARCH} WINEPREFIX=${CMAKE_BINARY_DIR}/wine
    WINEDLLOVERRIDES=mscoree,mshtml=
    ${MERVIL_WINE_LOADER})
