# The installed tree and the Debian packages. Included by the root CMakeLists after every
# area, so that it sees their targets; a target of an area left out of the build is
# skipped.
#
#   bin/                       programs (each area installs its own programs and the
#                              libraries it builds: install(TARGETS x RUNTIME DESTINATION
#                              ${CMAKE_INSTALL_BINDIR} COMPONENT c) or LIBRARY DESTINATION
#                              ${CMAKE_INSTALL_LIBDIR} COMPONENT c, c one of the four below)
#   lib/liborvik.so.1.0.0      the driver, with liborvik.so.1 and liborvik.so links
#   lib/pkgconfig/orvik.pc     pkg-config --cflags --libs orvik
#   lib/cmake/Orvik/           find_package(Orvik) gives Orvik::orvik
#   include/orvik/orvik.h      the public header (and exports.def, which it includes)
#   share/man/man1/            a manual page per program, made from its --help
#   share/tributarium/         the delivered databases, Imagens/, Manual/
#
# Every file belongs to one install component, and each component is one Debian package
# (packaging/debian.cmake):
#   library      liborvik1      the driver and the substitute libraries it loads
#   development  liborvik-dev   header, .so link, orvik.pc, CMake package, the reference
#   program      tributarium    tributarium, tributarium-cli, databases, pictures, manual
#   tools        orvik-tools    orvik-cli, the virtual devices, tributarium-demo-dados,
#                               orvik-relay
# A plain cmake --install installs them all.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)
# Plain lib/, not the multiarch folder: the layout above is what hosts are told to use.
set(CMAKE_INSTALL_LIBDIR lib)
# make install and cpack install what the build made, without walking every target of the
# build first (half a minute on an up-to-date tree): build, then install or package.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
# Folders made by the install are 0755 whatever the umask of the one who installs.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                                GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Installed programs find liborvik.so and the substitutes in ../lib.
set(ORVIK_PROGRAM_COMPONENTS
    tributarium=program tributarium-cli=program tributarium-demo-dados=tools orvik-cli=tools
    orvik-ecf-sim=tools)
foreach(entry IN LISTS ORVIK_PROGRAM_COMPONENTS)
  string(REPLACE "=" ";" entry "${entry}")
  list(GET entry 0 program)
  list(GET entry 1 component)
  if(TARGET ${program})
    set_target_properties(${program} PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${component})
  endif()
endforeach()

if(TARGET orvik)
  target_include_directories(orvik INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  install(TARGETS orvik EXPORT OrvikTargets
          LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT library
                  NAMELINK_COMPONENT development)
  install(FILES ${PROJECT_SOURCE_DIR}/driver/include/orvik/orvik.h
                ${PROJECT_SOURCE_DIR}/driver/include/orvik/exports.def
          DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/orvik COMPONENT development)
  install(EXPORT OrvikTargets NAMESPACE Orvik:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Orvik
          COMPONENT development)
  configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/OrvikConfig.cmake.in
                                ${PROJECT_BINARY_DIR}/OrvikConfig.cmake
                                INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Orvik)
  write_basic_package_version_file(${PROJECT_BINARY_DIR}/OrvikConfigVersion.cmake
                                   VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
  install(FILES ${PROJECT_BINARY_DIR}/OrvikConfig.cmake ${PROJECT_BINARY_DIR}/OrvikConfigVersion.cmake
          DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Orvik COMPONENT development)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/orvik.pc.in ${PROJECT_BINARY_DIR}/orvik.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/orvik.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
          COMPONENT development)
endif()

# The delivered databases, the menu pictures and the manual, where the installed
# program looks for them (../share/tributarium beside bin/). Read by everyone, whatever
# mode the build gave them: a first start copies the databases from here.
set(ORVIK_DATA_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
if(TARGET store_databases)
  install(DIRECTORY ${CMAKE_BINARY_DIR}/share/tributarium/ DESTINATION ${CMAKE_INSTALL_DATADIR}/tributarium
          FILE_PERMISSIONS ${ORVIK_DATA_PERMISSIONS} COMPONENT program)
endif()
if(TARGET tributarium)
  install(DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/Imagens ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/Manual
          DESTINATION ${CMAKE_INSTALL_DATADIR}/tributarium FILE_PERMISSIONS ${ORVIK_DATA_PERMISSIONS}
          COMPONENT program)
endif()

include(OrvikManPages)
include(${PROJECT_SOURCE_DIR}/packaging/debian.cmake)
