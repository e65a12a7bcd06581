#!/usr/bin/env bash
# Usage: examples_test.sh LANGUAGE SIM_DIR LIB_DIR SOURCE_DIR SHARE_DIR C_COMPILER
set -uo pipefail
language=$1 bin=$2 lib=$3 src=$4 share=$5 cc=$6
work=$(mktemp -d)
sim=
cleanup() {
  [ -n "$sim" ] && kill "$sim" 2>/dev/null && wait "$sim" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAILED: $*"; exit 1; }

export ORVIK_INI=$work/ORVIK.INI LD_LIBRARY_PATH=$lib ORVIK_LIB=$lib/liborvik.so.1
printf '[Sistema]\r\nPath=%s/\r\nPathRFD=%s/rfd/\r\nEspacamentoDocumentos=0\r\n' "$work" "$work" >"$ORVIK_INI"
mkdir -p "$work/rfd"
"$bin/orvik-ecf-sim" --ini "$ORVIK_INI" --state "$work/ecf.state" --clock "2026-06-15 09:00:00" \
  >"$work/sim.out" 2>"$work/sim.err" &
sim=$!
for _ in $(seq 200); do [ -s "$work/sim.out" ] && break; sleep 0.02; done
[ -s "$work/sim.out" ] || fail "the virtual printer did not start: $(cat "$work/sim.err")"
# The shop's one-time programming: the 18% ICMS rate the sale uses.
"$bin/orvik-cli" Orvik_ProgramaAliquota 18,00 0 | grep -qx 'result: 1' || fail "programming the rate"

cd "$work" || exit 1
case $language in
  c)
    for p in sale closing sintegra_month; do
      "$cc" -std=c99 -Wall -Wextra -Werror -I"$src/driver/include" -I"$src/examples/c" \
        -o "$work/$p" "$src/examples/c/$p.c" -L"$lib" -l:liborvik.so.1 || fail "building $p.c"
    done
    run=("$work/sale") close=("$work/closing") month=("$work/sintegra_month")
    ;;
  pascal)
    command -v fpc >/dev/null || fail "fpc is not installed (scripts/bootstrap installs it)"
    for p in sale closing sintegra_month; do
      fpc -v0 -FU"$work" -Fl"$lib" -Fu"$share/orvik/pascal" -Fu"$src/examples/pascal" -o"$work/$p" \
        "$src/examples/pascal/$p.pas" >"$work/fpc.log" 2>&1 || { cat "$work/fpc.log"; fail "building $p.pas"; }
    done
    run=("$work/sale") close=("$work/closing") month=("$work/sintegra_month")
    ;;
  python)
    export PYTHONPATH=$share/orvik/python
    python3 "$src/tests/integration/examples/refusal_test.py" || fail "the Python refusals"
    run=(python3 "$src/examples/python/sale.py") close=(python3 "$src/examples/python/closing.py")
    month=(python3 "$src/examples/python/sintegra_month.py")
    ;;
  csharp)
    command -v mcs >/dev/null || fail "mcs is not installed (scripts/bootstrap installs mono-mcs)"
    mcs -nologo -define:ORVIK_SO -out:"$work/Sale.exe" "$share/orvik/csharp/Orvik.cs" \
      "$src/tests/integration/examples/Sale.cs" || fail "compiling Orvik.cs with mcs"
    if ! mono --version >/dev/null 2>&1; then
      echo "mono cannot run here: the C# binding was compiled only"
      exit 0
    fi
    out=$(mono "$work/Sale.exe") || fail "the C# sale: $out"
    grep -qx 'coupon 000001' <<<"$out" || fail "C# coupon number: $out"
    grep -qx 'grand total 000000000000000499' <<<"$out" || fail "C# grand total: $out"
    echo "$out"
    exit 0
    ;;
esac

out=$("${run[@]}") || fail "$language sale: $out"
echo "$out"
grep -qx 'coupon 000001' <<<"$out" || fail "$language coupon number"
# The grand total counts gross sales: 21,90 + 2 x 8,45 (the item discount is not in it).
grep -qx 'grand total 000000000000003880' <<<"$out" || fail "$language grand total"

out=$("${close[@]}") || fail "$language closing: $out"
echo "$out"
grep -qx 'reduction 0001' <<<"$out" || fail "$language reduction number"
ls "$work/rfd/"* >/dev/null 2>&1 || fail "$language closing wrote no RFD file into PathRFD"

out=$("${month[@]}" 6 2026 "$work/sintegra.txt") || fail "$language month: $out"
echo "$out"
[ -s "$work/sintegra.txt" ] || fail "$language month: no Sintegra file"
grep -q '^60M' "$work/sintegra.txt" || fail "$language month: no 60M record"
grep -q '^60A' "$work/sintegra.txt" || fail "$language month: no 60A record"
exit 0
