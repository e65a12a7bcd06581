# The four Debian packages, made by CPack from the install components of
# cmake/OrvikInstall.cmake (scripts/package, or cpack in the build folder). See README.md
# beside this file for the choices and for the lintian warnings that are kept.
set(CPACK_PACKAGE_NAME orvik-tributarium)
set(CPACK_PACKAGE_VENDOR "Orvik")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Orvik <suporte@orvik.invalid>")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL library development program tools)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The Debian revision: the changelog's newest entry carries the same version.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SOURCE orvik-tributarium)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(ORVIK_DEB_VERSION "${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}")

# System libraries from dpkg-shlibdeps, for the packages that hold programs or libraries;
# the packages of one build depend on each other exactly. (CPack runs file(1) on every
# file of a package it looks into: the development files' hundreds of pages would take
# half a minute for nothing.)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SHLIBDEPS OFF)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

# Stripped binaries, the debug symbols left out (packaging/README.md says why).
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME liborvik1)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
string(CONCAT CPACK_COMPONENT_LIBRARY_DESCRIPTION
    "fiscal printer driver for point-of-sale programs\n"
    "liborvik.so.1 drives Brazilian fiscal printers (ECF) of the Lumvar and QVX\n"
    "families, a non-fiscal receipt printer and a checkout scale over serial and\n"
    "parallel lines, through one flat C interface of plain exports. It keeps the\n"
    "printer's return files, its log and the detail-tape and fiscal memory\n"
    "readings (RFD, Sintegra, Ato 17) in its working folder: beside the host program\n"
    "when that folder may be written, otherwise in the user's\n"
    "$XDG_STATE_HOME/orvik/.\n"
    ".\n"
    "This package also holds libleitura.so, libato17.so and libinpout32.so, the\n"
    "memory-reading and parallel-port libraries the driver loads by name at run\n"
    "time.")
# The shlibs file says which of liborvik1's versions a program built now may use. It is
# written here rather than by CPack, which would look into every package for libraries.
get_target_property(ORVIK_SOVERSION orvik SOVERSION)
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/packaging/liborvik1/shlibs
     CONTENT "liborvik ${ORVIK_SOVERSION} liborvik1 (>= ${PROJECT_VERSION})\n")
set(CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/liborvik1/triggers
                                               ${CMAKE_BINARY_DIR}/packaging/liborvik1/shlibs)

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME liborvik-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS library)
string(CONCAT CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
    "fiscal printer driver - development files\n"
    "liborvik.so.1 drives Brazilian fiscal printers (ECF), a non-fiscal receipt\n"
    "printer and a checkout scale for point-of-sale programs.\n"
    ".\n"
    "This package holds what a host program is built with: the C header orvik.h,\n"
    "the liborvik.so link, orvik.pc for pkg-config and the CMake package\n"
    "(find_package(Orvik) gives Orvik::orvik); and the reference of every export\n"
    "as HTML pages and manual pages (man 3 orvik), with bindings for Pascal, C#\n"
    "and Python in /usr/share/orvik.")

set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME tributarium)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SECTION misc)
set(CPACK_COMPONENT_PROGRAM_DEPENDS library)
# The embedded database engine is a plugin that the client library loads at run time, so
# dpkg-shlibdeps cannot see it.
set(CPACK_DEBIAN_PROGRAM_PACKAGE_DEPENDS "firebird3.0-server-core")
# Qt's own Portuguese texts for the standard buttons and dialogs.
set(CPACK_DEBIAN_PROGRAM_PACKAGE_RECOMMENDS "firebird3.0-utils, qt6-translations-l10n")
string(CONCAT CPACK_COMPONENT_PROGRAM_DESCRIPTION
    "Sintegra bookkeeping for accounting offices\n"
    "tributarium keeps each client company's invoices, products and inventory in\n"
    "Firebird databases (embedded, or on a Firebird server shared by several\n"
    "machines) and writes the monthly Sintegra file, with the records of the\n"
    "company's fiscal printers read through liborvik.so.\n"
    ".\n"
    "This package holds the desktop program tributarium (Qt), tributarium-cli,\n"
    "which does the same work without windows, the delivered catalogue and\n"
    "template databases, the menu pictures and the manual.")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME orvik-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
set(CPACK_COMPONENT_TOOLS_DEPENDS library)
# tributarium-demo-dados fills a client base of tributarium's catalogue; the other tools
# need only the driver.
set(CPACK_DEBIAN_TOOLS_PACKAGE_RECOMMENDS "tributarium (= ${ORVIK_DEB_VERSION})")
string(CONCAT CPACK_COMPONENT_TOOLS_DESCRIPTION
    "fiscal printer driver - tools and virtual devices\n"
    "Tools for the fiscal printer driver liborvik.so and for tributarium:\n"
    " - orvik-cli calls any export of the driver by name, and finds which serial\n"
    "   line a printer or a scale answers on;\n"
    " - orvik-ecf-sim and orvik-qvx-sim are virtual fiscal printers,\n"
    "   orvik-vuno-sim a virtual non-fiscal printer and orvik-scale-sim a virtual\n"
    "   scale, each on a pseudo-terminal, for trying a point-of-sale program\n"
    "   without the device;\n"
    " - orvik-relay is the printer's end of the driver's network mode;\n"
    " - tributarium-demo-dados fills a tributarium client base with a demo month.")

# Files Debian asks of every package (copyright, changelog), the manual pages compressed,
# and the ldconfig trigger in place of the maintainer scripts CPack writes.
set(CPACK_ORVIK_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})
set(CPACK_ORVIK_DEB_VERSION ${ORVIK_DEB_VERSION})
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/debian_files.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/ldconfig_trigger.cmake)
include(CPack)
