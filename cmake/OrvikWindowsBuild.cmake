# The Windows cross-build (scripts/build-windows, one toolchain file per target): the
# driver Orvik.dll, the memory-reading substitutes Leitura.dll and ATO17.dll, and the small
# test host that loads Orvik.dll by name. Nothing else of the project is built for
# Windows, and its tests run on Linux (tests/windows drives them under Wine).

# The unit tests are Linux programs; in this build their declarations do nothing.
function(orvik_add_test name)
endfunction()

# The DLLs need only Windows' own libraries: the C++ and GCC run-times and winpthread are
# linked in.
add_link_options(-static -static-libgcc -static-libstdc++ $<$<CONFIG:Release>:-s>)
# localtime_r and the like, which mingw-w64 offers under this name.
add_compile_definitions(_POSIX_THREAD_SAFE_FUNCTIONS WIN32_LEAN_AND_MEAN NOMINMAX)

foreach(area common driver sim/leitura sim/ato17 tests/windows/host)
  add_subdirectory(${area})
endforeach()
