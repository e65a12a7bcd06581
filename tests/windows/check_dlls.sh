#!/usr/bin/env bash
# The Windows DLLs as a host sees them, without running them: Orvik.dll of both targets
# exports exactly the names of exports.def, undecorated; the 32-bit exports pop their own
# arguments (stdcall: "ret $4 x arguments"); the DLLs import only Windows' own libraries;
# and a C host compiles against orvik.h and links against each import library.
#   check_dlls.sh WINDOWS_DIR EXPORTS_DEF INCLUDE_DIR WORK_DIR
set -euo pipefail
out=$1 def=$2 include=$3 work=$4
mkdir -p "$work"
status=0
fail() { echo "FAIL: $*"; status=1; }

# name and argument count of every export, in exports.def's order
sed -n 's/^ORVIK_EXPORT([A-Za-z]*, *\([A-Za-z0-9_]*\), *(\(.*\)))$/\1 \2/p' "$def" |
  while read -r name params; do
    if [ "$params" = void ]; then n=0; else n=$(($(echo "$params" | tr -cd , | wc -c) + 1)); fi
    echo "$name $n"
  done >"$work/exports.txt"
[ "$(wc -l <"$work/exports.txt")" -eq 298 ] || fail "exports.def does not list 298 exports"
cut -d' ' -f1 "$work/exports.txt" | sort >"$work/wanted.txt"

for target in win32 win64; do
  case $target in win32) tool=i686-w64-mingw32 ;; win64) tool=x86_64-w64-mingw32 ;; esac
  dll=$out/$target/Orvik.dll
  "$tool-objdump" -p "$dll" >"$work/$target.txt"
  # The export table: "[ordinal] name" lines after the name-pointer table heading.
  sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' "$work/$target.txt" |
    sed -n 's/^\s*\[ *[0-9]*\] \(.*\)$/\1/p' | sort >"$work/$target-names.txt"
  if ! diff -q "$work/wanted.txt" "$work/$target-names.txt" >/dev/null; then
    fail "$target: the export names differ from exports.def"
    diff "$work/wanted.txt" "$work/$target-names.txt" | head
  fi
  for lib in Orvik.dll Leitura.dll ATO17.dll; do
    imports=$("$tool-objdump" -p "$out/$target/$lib" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' |
      sort -u | tr '\n' ' ')
    for i in $imports; do
      case $i in kernel32.dll|msvcrt.dll|user32.dll) ;; *) fail "$target/$lib imports $i" ;; esac
    done
    echo "$target/$lib imports: $imports"
  done
  # A C host against the header and the import library (no LoadLibrary): it links only when
  # the import library holds every name the header declares, decorated as 32-bit callers
  # reference them.
  {
    echo '#include <orvik/orvik.h>'
    echo 'typedef int (ORVIK_CALL *AnyExport)();'
    echo 'AnyExport all[] = {'
    cut -d' ' -f1 "$work/exports.txt" | sed 's/.*/  (AnyExport)\&&,/'
    echo '};'
    echo 'int main(void) { return all[0] == 0; }'
  } >"$work/linked_host.c"
  "$tool-gcc" -Wall -I "$include" -o "$work/$target-linked_host.exe" "$work/linked_host.c" \
    "$out/$target/Orvik.lib" || fail "$target: a C host does not link against Orvik.lib"
done

# stdcall frames of the 32-bit DLL: each export's first return pops 4 bytes per argument.
dll=$out/win32/Orvik.dll
base=$(sed -n 's/^ImageBase\s*//p' "$work/win32.txt")
sed -n '/Export Address Table/,/^$/p' "$work/win32.txt" >/dev/null
i686-w64-mingw32-objdump -d "$dll" >"$work/win32.asm"
python3 - "$work/win32.txt" "$work/win32.asm" "$work/exports.txt" "$base" <<'PY' || status=1
import re, sys
table, asm, exports, base = sys.argv[1:5]
base = int(base, 16)
text = open(table).read()
# "[n] +base[m] RVA Export RVA" lines give the RVAs by ordinal; the name table maps names
# to ordinals.
rva = {int(m.group(1)): int(m.group(2), 16)
       for m in re.finditer(r"\[\s*(\d+)\] \+base\[\s*\d+\]\s+([0-9a-f]+) Export RVA", text)}
names = dict((m.group(2), int(m.group(1)))
             for m in re.finditer(r"^\s*\[\s*(\d+)\] (\w+)$", text.split("[Ordinal/Name Pointer] Table")[1], re.M))
lines = open(asm).read().splitlines()
index = {}
for i, l in enumerate(lines):
    m = re.match(r"^\s*([0-9a-f]+):", l)
    if m: index[int(m.group(1), 16)] = i
bad = 0
for entry in open(exports):
    name, n = entry.split(); n = int(n)
    addr = base + rva[names[name]]
    i = index.get(addr)
    ret = None
    while i is not None and i < len(lines):
        m = re.search(r"\tret\s*(\$0x([0-9a-f]+))?\s*$", lines[i])
        if m:
            ret = int(m.group(2), 16) if m.group(2) else 0
            break
        if re.search(r"\tjmp\s+[0-9a-f]+ <", lines[i]) and i > index[addr] + 60: break
        i += 1
    if ret != 4 * n:
        print(f"FAIL: {name} ({n} arguments) returns with ret {ret}, not {4 * n}")
        bad += 1
print(f"win32 stdcall frames checked: {298 - bad} of 298 right")
sys.exit(1 if bad else 0)
PY
exit $status
