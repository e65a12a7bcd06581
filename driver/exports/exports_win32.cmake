# Orvik.dll exports exactly the names of exports.def, undecorated. The module-definition
# file is made from that list, so the two cannot drift. On 32-bit x86 every export is
# stdcall: the linker knows it as Name@bytes (four bytes per argument, every argument
# being a pointer or a 32-bit integer) and --kill-at exports it as plain Name, while the
# import library keeps the decorated symbol that 32-bit callers of orvik.h reference.
set(def_text "LIBRARY Orvik.dll\nEXPORTS\n")
foreach(line IN LISTS export_lines)
  string(REGEX REPLACE "^ORVIK_EXPORT\\([A-Za-z]+, *([A-Za-z0-9_]+),.*" "\\1" name "${line}")
  string(REGEX REPLACE "^ORVIK_EXPORT\\([A-Za-z]+, *[A-Za-z0-9_]+, *\\((.*)\\)\\) *$" "\\1" params
                       "${line}")
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    if(params STREQUAL "void")
      set(bytes 0)
    else()
      string(REGEX REPLACE "[^,]" "" commas "${params}")
      string(LENGTH "${commas}" count)
      math(EXPR bytes "(${count} + 1) * 4")
    endif()
    string(APPEND def_text "    ${name}@${bytes}\n")
  else()
    string(APPEND def_text "    ${name}\n")
  endif()
endforeach()
set(ORVIK_MODULE_DEFINITION ${CMAKE_CURRENT_BINARY_DIR}/Orvik.def)
file(CONFIGURE OUTPUT ${ORVIK_MODULE_DEFINITION} CONTENT "${def_text}")

set_target_properties(orvik PROPERTIES
  OUTPUT_NAME Orvik
  PREFIX ""
  IMPORT_PREFIX ""
  IMPORT_SUFFIX ".lib"
  LINK_DEPENDS ${ORVIK_MODULE_DEFINITION})
target_sources(orvik PRIVATE ${ORVIK_MODULE_DEFINITION})
target_link_options(orvik PRIVATE "LINKER:--no-undefined")
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  target_link_options(orvik PRIVATE "LINKER:--kill-at")
endif()

# The 32-bit import library is made by dlltool from the decorated list: its symbols keep
# the Name@bytes form that callers compiled with orvik.h reference (-k imports them by the
# plain name the DLL exports). The linker's own import library would hold plain names only.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  find_program(ORVIK_DLLTOOL NAMES ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-dlltool REQUIRED)
  add_custom_command(TARGET orvik POST_BUILD
    COMMAND ${ORVIK_DLLTOOL} -k -d ${ORVIK_MODULE_DEFINITION} -D Orvik.dll
            -l $<TARGET_LINKER_FILE:orvik>
    VERBATIM)
endif()
