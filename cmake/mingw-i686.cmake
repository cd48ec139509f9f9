# Cross build for 32-bit Windows with Debian's mingw-w64 (POSIX threads
# flavour): cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake ...
# CTest runs the test programs under 32-bit wine (Debian's wine32:i386) in a
# 32-bit prefix of the build folder's own.
set(MERVIL_MINGW_TARGET i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MERVIL_WINE_LOADER /usr/lib/wine/wine)
set(MERVIL_WINE_ARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
