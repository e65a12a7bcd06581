# Run by CPack after it has made the packages. CPack (3.25) gives every package with a
# library in /usr/lib a postinst and a postrm that call ldconfig; Debian runs ldconfig
# through the trigger the package declares instead (lintian: maintscript-calls-ldconfig).
# In a package that declares the trigger, scripts that do nothing but call ldconfig are
# taken out again. The data member is copied as it is.

find_program(AR_EXECUTABLE ar REQUIRED)
find_program(TAR_EXECUTABLE tar REQUIRED)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE failed ERROR_VARIABLE error)
  if(failed)
    list(JOIN ARGN " " command)
    message(FATAL_ERROR "${command}: ${error}")
  endif()
endfunction()

foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  if(NOT deb MATCHES "\\.deb$")
    continue()
  endif()
  get_filename_component(name ${deb} NAME)
  set(work ${CPACK_TOPLEVEL_DIRECTORY}/ldconfig-trigger/${name})
  file(REMOVE_RECURSE ${work})
  file(MAKE_DIRECTORY ${work}/control)
  execute_process(COMMAND ${AR_EXECUTABLE} t ${deb} OUTPUT_VARIABLE members
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  string(REPLACE "\n" ";" members "${members}")
  list(LENGTH members count)
  if(NOT count EQUAL 3 OR NOT members MATCHES "^debian-binary;control\\.tar\\.gz;data\\.tar\\.")
    message(FATAL_ERROR "${name}: unexpected members: ${members}")
  endif()
  list(GET members 2 data)
  run(${AR_EXECUTABLE} x ${deb} WORKING_DIRECTORY ${work})
  run(${TAR_EXECUTABLE} -xzf ${work}/control.tar.gz -C ${work}/control)

  set(triggers ${work}/control/triggers)
  if(NOT EXISTS ${triggers})
    continue()
  endif()
  file(READ ${triggers} declared)
  if(NOT declared MATCHES "(^|\n)activate-noawait ldconfig(\n|$)")
    continue()
  endif()
  set(changed FALSE)
  foreach(script postinst postrm)
    set(file ${work}/control/${script})
    if(NOT EXISTS ${file})
      continue()
    endif()
    # What is left once the shell's frame and the ldconfig call are taken away.
    execute_process(
      COMMAND grep -vE "^[[:space:]]*(#.*|set -e|fi|ldconfig|exit 0|if \\[ \"\\$1\" = \"[a-z-]+\" \\]; then)?[[:space:]]*$" ${file}
      OUTPUT_VARIABLE rest)
    if(NOT rest STREQUAL "")
      message(FATAL_ERROR "${name}: ${script} does more than call ldconfig: ${rest}")
    endif()
    file(REMOVE ${file})
    set(changed TRUE)
  endforeach()
  if(NOT changed)
    continue()
  endif()
  file(GLOB control_files RELATIVE ${work}/control ${work}/control/*)
  list(SORT control_files)
  run(${TAR_EXECUTABLE} --owner=0 --group=0 --numeric-owner -czf ${work}/control.tar.gz
      -C ${work}/control ${control_files})
  file(REMOVE ${deb})
  run(${AR_EXECUTABLE} rc ${deb} debian-binary control.tar.gz ${data} WORKING_DIRECTORY ${work})
  file(REMOVE_RECURSE ${work})
  message(STATUS "${name}: ldconfig runs from the trigger; postinst and postrm taken out")
endforeach()
