# Run by CPack after it has installed each component into its staging folder and before
# it makes the packages: adds what Debian asks of every package and a plain install does
# not need.
#   /usr/share/doc/PACKAGE/copyright             machine-readable, from copyright here
#   /usr/share/doc/PACKAGE/changelog.Debian.gz   from changelog here
#   /usr/share/man/**                            compressed (gzip -9n)
# The changelog's newest entry must be the version being packaged.

file(STRINGS ${CPACK_ORVIK_PACKAGING_DIR}/changelog newest LIMIT_COUNT 1)
if(NOT newest MATCHES "^[a-z0-9.+-]+ \\(([^)]+)\\) ")
  message(FATAL_ERROR "packaging/changelog: the first line is not a changelog entry: ${newest}")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL CPACK_ORVIK_DEB_VERSION)
  message(FATAL_ERROR "packaging/changelog: the newest entry is ${CMAKE_MATCH_1}, the packages are "
                      "${CPACK_ORVIK_DEB_VERSION}: add an entry for this version")
endif()

find_program(GZIP_EXECUTABLE gzip REQUIRED)
set(changelog_gz ${CPACK_TEMPORARY_DIRECTORY}/changelog.Debian.gz)
execute_process(COMMAND ${GZIP_EXECUTABLE} -9n -c ${CPACK_ORVIK_PACKAGING_DIR}/changelog
                OUTPUT_FILE ${changelog_gz} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "gzip of packaging/changelog failed")
endif()

foreach(component IN LISTS CPACK_COMPONENTS_ALL)
  string(TOUPPER ${component} upper)
  set(package ${CPACK_DEBIAN_${upper}_PACKAGE_NAME})
  set(root ${CPACK_TEMPORARY_DIRECTORY}/${component}${CPACK_PACKAGING_INSTALL_PREFIX})
  if(NOT package OR NOT IS_DIRECTORY ${root})
    message(FATAL_ERROR "no staging folder ${root} for the component ${component}")
  endif()
  set(doc ${root}/share/doc/${package})
  # file(COPY), not file(INSTALL): CPack leaves DESTDIR set to a staging folder.
  file(COPY ${CPACK_ORVIK_PACKAGING_DIR}/copyright ${changelog_gz} DESTINATION ${doc}
       FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
       DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                             WORLD_READ WORLD_EXECUTE)

  file(GLOB_RECURSE pages LIST_DIRECTORIES false ${root}/share/man/*)
  list(FILTER pages EXCLUDE REGEX "\\.gz$")
  if(pages)
    execute_process(COMMAND ${GZIP_EXECUTABLE} -9nf ${pages} RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "gzip of the manual pages of ${package} failed")
    endif()
  endif()
endforeach()
file(REMOVE ${changelog_gz})
