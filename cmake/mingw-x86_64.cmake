# Cross build for 64-bit Windows with Debian's mingw-w64 (POSIX threads
# flavour): cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake ...
# CTest runs the test programs under wine64 (Debian's wine64) in a 64-bit
# prefix of the build folder's own.
set(MERVIL_MINGW_TARGET x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MERVIL_WINE_LOADER /usr/lib/wine/wine64)
set(MERVIL_WINE_ARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
