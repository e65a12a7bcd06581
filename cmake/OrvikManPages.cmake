# A manual page (section 1) for every installed program, made by help2man from the
# program's own --help at build time, so that the page cannot drift from the program.
# The pages land in build/share/man/man1 and are installed with the program's component;
# the Debian packages compress them (packaging/debian.cmake).
#
# Each entry: program, install component, the one line of the page's NAME section.
set(ORVIK_MAN_PAGES
    "tributarium|program|programa do escritório: as bases das empresas clientes e o arquivo Sintegra do mês"
    "tributarium-cli|program|o trabalho do tributarium sem janelas, para scripts"
    "tributarium-demo-dados|tools|grava o mês de demonstração numa base de empresa cliente"
    "orvik-cli|tools|call any export of the fiscal printer driver liborvik.so by name"
    "orvik-ecf-sim|tools|impressora fiscal virtual Lumvar numa pseudo-terminal"
    "orvik-qvx-sim|tools|impressora fiscal virtual QVX (610 e 820) numa pseudo-terminal"
    "orvik-vuno-sim|tools|impressora não fiscal virtual, serial ou paralela"
    "orvik-scale-sim|tools|balança de checkout virtual numa pseudo-terminal"
    "orvik-relay|tools|a ponta da impressora no modo em rede do driver liborvik.so")

find_program(HELP2MAN_EXECUTABLE help2man)
if(NOT HELP2MAN_EXECUTABLE)
  message(STATUS "help2man not found (scripts/bootstrap installs it): no manual pages for the programs")
  return()
endif()

set(ORVIK_MAN1 ${CMAKE_BINARY_DIR}/share/man/man1)
set(ORVIK_MAN1_FILES)
foreach(entry IN LISTS ORVIK_MAN_PAGES)
  string(REPLACE "|" ";" entry "${entry}")
  list(GET entry 0 program)
  list(GET entry 1 component)
  list(GET entry 2 summary)
  if(NOT TARGET ${program})
    continue()
  endif()
  # The NAME line through an include file: help2man reads a file in the locale's
  # encoding, but takes --name as Latin-1.
  set(include ${CMAKE_BINARY_DIR}/share/man/help2man/${program}.h2m)
  file(CONFIGURE OUTPUT ${include} CONTENT "[NAME]\n${program} \\- ${summary}\n")
  add_custom_command(
    OUTPUT ${ORVIK_MAN1}/${program}.1
    COMMAND ${CMAKE_COMMAND} -E make_directory ${ORVIK_MAN1}
    COMMAND ${HELP2MAN_EXECUTABLE} --locale=C.UTF-8 --no-info --section=1 --include=${include}
                                   --version-string=${PROJECT_VERSION} --source=Orvik --manual=Orvik
                                   --output=${ORVIK_MAN1}/${program}.1 $<TARGET_FILE:${program}>
    DEPENDS ${program} ${include}
    COMMENT "Manual page of ${program}"
    VERBATIM)
  list(APPEND ORVIK_MAN1_FILES ${ORVIK_MAN1}/${program}.1)
  install(FILES ${ORVIK_MAN1}/${program}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
          COMPONENT ${component})
endforeach()
add_custom_target(orvik_man_pages ALL DEPENDS ${ORVIK_MAN1_FILES})
