# Cross build for 64-bit Windows with Debian's mingw-w64 (POSIX threads
# flavour): cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake ...
# CTest runs the test programs under wine64 (Debian's wine64), without
# messages and in a wine prefix of the build folder's own, never the user's.
set(MERVIL_MINGW_TARGET x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)

set(CMAKE_CROSSCOMPILING_EMULATOR
    /usr/bin/env WINEDEBUG=-all WINEPREFIX=${CMAKE_BINARY_DIR}/wine WINEDLLOVERRIDES=mscoree,mshtml=
    /usr/lib/wine/wine64)
