# Cross build for 32-bit Windows with Debian's mingw-w64 (POSIX threads
# flavour): cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake ...
set(MERVIL_MINGW_TARGET i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
