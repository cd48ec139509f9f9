# Installation in the GNU layout (keydb, the two libraries, the toolkit's
# public headers, the man page), the CMake package "mervil", the pkg-config
# file mervil2.pc and the Debian package made by `cpack -G DEB`.
if(WIN32)
  return()
endif()
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set_target_properties(mervil2 mervil7 PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
# The module needs the toolkit beside it, wherever the tree was installed.
set_target_properties(mervil7 PROPERTIES INSTALL_RPATH "$ORIGIN")
install(TARGETS mervil2 mervil7 LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})

# The headers a host includes to load the module and use the key database
# and the algorithm factory, with the module's diagnostics.
set(MERVIL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/mervil)
install(FILES ${PROJECT_SOURCE_DIR}/toolkit/cryptoki.h DESTINATION ${MERVIL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/toolkit/ DESTINATION ${MERVIL_INCLUDEDIR}
        FILES_MATCHING PATTERN "zep*.h" PATTERN "asn" EXCLUDE PATTERN "zepasncheck.h" EXCLUDE)
install(FILES ${PROJECT_SOURCE_DIR}/module/entry/pkcs11diagnostics.h ${PROJECT_SOURCE_DIR}/module/entry/moduleexport.h
        DESTINATION ${MERVIL_INCLUDEDIR})

if(TARGET keydb)
  # keydb finds the module and the toolkit in the library folder relative
  # to its own, so an installed tree works wherever it was unpacked.
  file(RELATIVE_PATH keydb_libdir ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
  set_source_files_properties(${PROJECT_SOURCE_DIR}/tools/keydb/session/modulesession.cpp
                              DIRECTORY ${PROJECT_SOURCE_DIR}/tools/keydb
                              PROPERTIES COMPILE_DEFINITIONS KEYDB_MODULE_FOLDER="${keydb_libdir}")
  set_target_properties(keydb PROPERTIES INSTALL_RPATH "$ORIGIN/${keydb_libdir}")
  install(TARGETS keydb RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/tools/keydb/keydb.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(MERVIL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/mervil)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/mervilConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/mervilConfig.cmake
                              INSTALL_DESTINATION ${MERVIL_CMAKEDIR}
                              PATH_VARS CMAKE_INSTALL_LIBDIR MERVIL_INCLUDEDIR)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/mervilConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/mervilConfig.cmake ${PROJECT_BINARY_DIR}/mervilConfigVersion.cmake
        DESTINATION ${MERVIL_CMAKEDIR})

# The pkg-config file names its folders relative to its own place, so it
# holds for any install prefix.
file(RELATIVE_PATH MERVIL_PREFIX_FROM_PKGCONFIG ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" MERVIL_PREFIX_FROM_PKGCONFIG ${MERVIL_PREFIX_FROM_PKGCONFIG})
configure_file(${CMAKE_CURRENT_LIST_DIR}/mervil2.pc.in ${PROJECT_BINARY_DIR}/mervil2.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/mervil2.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

set(CPACK_PACKAGE_NAME mervil)
set(CPACK_PACKAGE_VENDOR "mervil developers")
set(CPACK_PACKAGE_CONTACT "mervil developers <mervil@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "PKCS#11 adapter module for the mervil2 toolkit, and keydb")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# keydb's default token is a SoftHSM2 token; the C and C++ runtimes come
# from the programs' and libraries' own dependencies.
set(CPACK_DEBIAN_PACKAGE_DEPENDS softhsm2)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
