# The installed tree and the Debian package. Included by the root CMakeLists after every
# area, so that it sees their targets; a target of an area left out of the build is
# skipped.
#
#   bin/                       programs (each area installs its own programs and the
#                              libraries it builds: install(TARGETS x RUNTIME DESTINATION
#                              ${CMAKE_INSTALL_BINDIR}) or LIBRARY DESTINATION
#                              ${CMAKE_INSTALL_LIBDIR})
#   lib/liborvik.so.1.0.0      the driver, with liborvik.so.1 and liborvik.so links
#   lib/pkgconfig/orvik.pc     pkg-config --cflags --libs orvik
#   lib/cmake/Orvik/           find_package(Orvik) gives Orvik::orvik
#   include/orvik/orvik.h      the public header (and exports.def, which it includes)
#   share/tributarium/         the delivered databases, Imagens/, Manual/
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)
# Plain lib/, not the multiarch folder: the layout above is what hosts are told to use.
set(CMAKE_INSTALL_LIBDIR lib)

# Installed programs find liborvik.so and the substitutes in ../lib.
foreach(program tributarium tributarium-cli tributarium-demo-dados orvik-cli orvik-ecf-sim)
  if(TARGET ${program})
    set_target_properties(${program} PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
  endif()
endforeach()

if(TARGET orvik)
  target_include_directories(orvik INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  install(TARGETS orvik EXPORT OrvikTargets
          LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT runtime)
  install(FILES ${PROJECT_SOURCE_DIR}/driver/include/orvik/orvik.h
                ${PROJECT_SOURCE_DIR}/driver/include/orvik/exports.def
          DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/orvik COMPONENT runtime)
  install(EXPORT OrvikTargets NAMESPACE Orvik:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Orvik
          COMPONENT runtime)
  configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/OrvikConfig.cmake.in
                                ${PROJECT_BINARY_DIR}/OrvikConfig.cmake
                                INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Orvik)
  write_basic_package_version_file(${PROJECT_BINARY_DIR}/OrvikConfigVersion.cmake
                                   VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
  install(FILES ${PROJECT_BINARY_DIR}/OrvikConfig.cmake ${PROJECT_BINARY_DIR}/OrvikConfigVersion.cmake
          DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Orvik COMPONENT runtime)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/orvik.pc.in ${PROJECT_BINARY_DIR}/orvik.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/orvik.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
          COMPONENT runtime)
endif()

# The delivered databases, the menu pictures and the manual, where the installed
# program looks for them (../share/tributarium beside bin/).
if(TARGET store_databases)
  install(DIRECTORY ${CMAKE_BINARY_DIR}/share/tributarium/ DESTINATION ${CMAKE_INSTALL_DATADIR}/tributarium
          COMPONENT runtime)
endif()
if(TARGET tributarium)
  install(DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/Imagens ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/Manual
          DESTINATION ${CMAKE_INSTALL_DATADIR}/tributarium COMPONENT runtime)
endif()

# cpack -G DEB in the build folder: one package with everything above. The libraries
# the programs link are found by dpkg-shlibdeps; the embedded database engine, a plugin
# loaded at run time, is declared by hand.
set(CPACK_PACKAGE_NAME orvik-tributarium)
set(CPACK_PACKAGE_VENDOR "Orvik")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Fiscal printer driver (liborvik.so) and Sintegra bookkeeping program (tributarium)")
set(CPACK_PACKAGE_CONTACT "Orvik <suporte@orvik.invalid>")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "firebird3.0-server-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "firebird3.0-utils")
include(CPack)
