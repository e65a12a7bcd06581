#!/usr/bin/env bash
# Usage: install_test.sh BUILD_DIR SOURCE_DIR C_COMPILER CMAKE
set -uo pipefail
build=$1 here=$2 cc=$3 cmake=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
failed=0
check() {  # check DESCRIPTION COMMAND...
  if ! "${@:2}"; then
    echo "FAILED: $1"
    failed=1
  fi
}

"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
  { cat "$work/install.log"; echo "FAILED: cmake --install"; exit 1; }

for f in lib/liborvik.so.1 lib/liborvik.so include/orvik/orvik.h lib/pkgconfig/orvik.pc \
  lib/cmake/Orvik/OrvikConfig.cmake lib/cmake/Orvik/OrvikTargets.cmake \
  bin/tributarium bin/tributarium-cli bin/orvik-cli bin/orvik-ecf-sim \
  share/tributarium/tributariumbase.fdb share/tributarium/Default/tributariumdados.fdb \
  share/tributarium/Manual/Tributarium.html; do
  check "$f is installed" test -e "$prefix/$f"
done
check "liborvik.so.1 is the soname link" test -L "$prefix/lib/liborvik.so.1"
check "the menu pictures are installed" test -n "$(ls "$prefix/share/tributarium/Imagens")"
# The integrator's kit: the export reference, its man pages, the bindings, the relay.
for f in share/doc/orvik/index.html share/doc/orvik/status.html share/man/man3/orvik.3 \
  share/man/man3/Orvik_NumeroCupom.3 share/orvik/pascal/Orvik.pas share/orvik/csharp/Orvik.cs \
  share/orvik/python/orvik.py bin/orvik-relay; do
  check "$f is installed" test -e "$prefix/$f"
done
if command -v man >/dev/null; then
  check "man -l renders orvik.3" grep -q "RETURN CODES" <<<"$(MANWIDTH=80 man -l "$prefix/share/man/man3/orvik.3" 2>/dev/null)"
  check "an export's page leads to its group's" grep -q "Orvik_NumeroCupom" \
    <<<"$(cd "$prefix/share/man" && MANWIDTH=80 man -l man3/Orvik_NumeroCupom.3 2>/dev/null)"
  # The programs' pages, made from their --help.
  check "man -l renders tributarium-cli.1" grep -q "sintegra validar" \
    <<<"$(MANWIDTH=80 man -l "$prefix/share/man/man1/tributarium-cli.1" 2>/dev/null)"
fi

# The driver reads and writes its ORVIK.INI here, not beside the test programs.
export ORVIK_INI=$work/ORVIK.INI
printf '[Sistema]\r\nModeloImp=ORVIK_KAP\r\nPath=%s/\r\n' "$work" >"$ORVIK_INI"

# pkg-config, as a host's makefile would use it; the program runs from the installed
# library only.
export PKG_CONFIG_PATH=$prefix/lib/pkgconfig
flags=$(pkg-config --cflags --libs orvik) || { echo "FAILED: pkg-config orvik"; exit 1; }
cflags=$(pkg-config --cflags orvik | xargs)
check "pkg-config names the installed header folder" \
  test "$(realpath -m "${cflags#-I}")" = "$(realpath "$prefix/include")"
# shellcheck disable=SC2086
check "the host builds with pkg-config --cflags --libs orvik" \
  "$cc" -std=c99 -Wall -Wextra -Werror -o "$work/host" "$here/host.c" $flags
check "the host runs against the installed library" env LD_LIBRARY_PATH="$prefix/lib" "$work/host"
check "and it is the installed library it loads" \
  grep -q "$prefix/lib/liborvik.so.1" <<<"$(LD_LIBRARY_PATH="$prefix/lib" ldd "$work/host")"

# find_package(Orvik) -> Orvik::orvik
check "a CMake host configures with find_package(Orvik)" \
  "$cmake" -S "$here/find_package" -B "$work/cmake-host" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_C_COMPILER="$cc" >"$work/cmake-host.log" 2>&1
check "and builds" "$cmake" --build "$work/cmake-host" >>"$work/cmake-host.log" 2>&1
check "and runs" "$work/cmake-host/host"
[ "$failed" -eq 0 ] || cat "$work/cmake-host.log"

# The installed programs: orvik-cli finds the installed driver beside it, and
# tributarium-cli the delivered databases under share/.
check "the installed orvik-cli calls the installed driver" \
  grep -q "last return code: -7" <<<"$("$prefix/bin/orvik-cli" Orvik_ProgramaBaudRate 4800)"
mkdir "$work/cliente"
check "the installed tributarium-cli installs the catalogue from share/tributarium" \
  bash -c "cd '$work/cliente' && '$prefix/bin/tributarium-cli' init >/dev/null && test -f Dados/tributariumbase.fdb"
exit "$failed"
