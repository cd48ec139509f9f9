# How the mingw-w64 builds link the compiler's runtime.
#
# The DLLs are self-contained where the compiler allows it: libstdc++ and
# winpthread are linked in statically and none of their symbols are exported.
# Exceptions cross from DLL to DLL (the module throws to the toolkit's caller,
# the test token to the tests that drive it), so every module must unwind with
# one unwinder that knows the frames of all. With SEH (64-bit) or setjmp/longjmp
# unwinding any copy does; with DWARF unwinding (Debian's 32-bit compiler) a
# static copy knows only its own module's frames and a foreign exception ends
# the program. There the compiler's shared libgcc is linked instead and copied,
# with the winpthread DLL it needs, beside the programs and libraries.
include(CheckCXXSourceCompiles)
set(CMAKE_REQUIRED_QUIET ON)
check_cxx_source_compiles([=[
#if defined(__SEH__) || defined(__USING_SJLJ_EXCEPTIONS__)
#error the unwinder finds the frames of every module
#endif
int main() { return 0; }]=] MERVIL_MINGW_DWARF_UNWINDING)
unset(CMAKE_REQUIRED_QUIET)

if(MERVIL_MINGW_DWARF_UNWINDING)
  add_link_options(-shared-libgcc)
  foreach(runtime libgcc_s_dw2-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${runtime}
                    OUTPUT_VARIABLE runtime_path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${runtime_path}")
      message(FATAL_ERROR "${CMAKE_CXX_COMPILER} has no ${runtime}")
    endif()
    file(COPY ${runtime_path} DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
  endforeach()
else()
  add_link_options(-static-libgcc)
endif()
add_link_options(-static-libstdc++ -Wl,-Bstatic,--whole-archive -lwinpthread -Wl,--no-whole-archive,-Bdynamic
                 -Wl,--exclude-libs,libgcc.a:libgcc_eh.a:libstdc++.a:libwinpthread.a)
# The toolkit DLL exports all its symbols, among them the standard library
# templates instantiated in its code; a program linking it and the static
# runtime gets a second, identical definition of those and takes the first.
add_link_options($<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>:-Wl,--allow-multiple-definition>)

# The wine prefix the tests run in, set up before them so that none of them
# waits for it: cmake --build <folder> --target wine_prefix.
if(CMAKE_CROSSCOMPILING_EMULATOR AND NOT MERVIL_LIBRARIES_ONLY)
  add_custom_target(wine_prefix COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} wineboot --init VERBATIM)
endif()
