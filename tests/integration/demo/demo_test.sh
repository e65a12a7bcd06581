#!/usr/bin/env bash
# Runs scripts/demo on the built programs, as a new user would run the main job, in one
# of three situations:
#   main-job            a fresh folder, then the same folder again
#   read-only-folder    the demo folder exists on a read-only mount
#   no-pseudo-terminal  pseudo-terminals cannot be opened
# Usage: demo_test.sh CASE REPOSITORY BIN. Exit 77 (skipped) when the situation cannot be
# arranged on this machine.
set -uo pipefail
case_name=$1 repo=$2 bin=$3
work=$(mktemp -d)
trap 'umount "$work/demo" 2>/dev/null; rm -rf "$work"' EXIT

failed=0
check() {  # check DESCRIPTION COMMAND...
  if ! "${@:2}"; then
    echo "FAILED: $1"
    failed=1
  fi
}
has() { grep -qF -- "$1" "$work/out"; }

# In a mount namespace of its own, so that what is mounted for the case goes away with it.
isolated() {
  unshare -m true 2>/dev/null || exit 77
  unshare -m bash -c "$1" >"$work/out" 2>&1
}

demo="DEMO_BIN='$bin' DEMO_DIR='$work/demo' timeout 300 '$repo/scripts/demo'"
case $case_name in
  main-job)
    for run in first second; do
      DEMO_BIN=$bin DEMO_DIR=$work/demo timeout 300 "$repo/scripts/demo" >"$work/out" 2>&1
      status=$?
      check "$run run ends with 0 (got $status)" test "$status" -eq 0
      check "$run run: the Sintegra file is named" has "$work/demo/Sintegra/"
      check "$run run: its trailer is counted" has $'90\t1'
      check "$run run: the coupon is the printer's first" has "coupon number (COO): 000001"
      check "$run run: the grand total is the coupon's gross" has 'grand total: R$ 69,91'
      check "$run run: the MFD holds the coupon" has "CUPOM FISCAL"
      check "$run run: with its total after the discount" \
        grep -qE '^TOTAL R\$ +67,91$' "$work/out"
      check "$run run: and both payments" grep -qE '^Cartao +37,91$' "$work/out"
      check "$run run: the printer's month was read into the month's folder" \
        grep -qE "^$work/demo/Sintegra/[0-9]{4}/[^/]+/Sintegra-[0-9]+_[0-9]{4}\.txt$" "$work/out"
      check "$run run: one 60M per shop day" has $'60M\t3'
      check "$run run: the month's file validates without errors" \
        grep -qE '^0 erros e [0-9]+ avisos?$' "$work/out"
      for kind in 50 54 60A 60D 60I 60R 74 75; do
        check "$run run: the month's file holds $kind records" grep -qE "^$kind"$'\t''[1-9]' "$work/out"
      done
    done
    check "the Sintegra file exists" test -s "$(sed -n 's|^\('"$work"'/demo/Sintegra/.*/Sintegra\.txt\)$|\1|p' "$work/out")"
    ;;
  read-only-folder)
    mkdir -p "$work/demo" && echo old >"$work/demo/keep"
    isolated "mount --bind '$work/demo' '$work/demo' && mount -o remount,ro,bind '$work/demo' && $demo"
    status=$?
    [ "$status" -eq 77 ] && exit 77
    check "ends with a non-zero status (got $status)" test "$status" -ne 0 -a "$status" -ne 124
    check "says why" has "cannot start the demo installation afresh in $work/demo (is it read-only?)"
    check "leaves the folder as it was" test "$(cat "$work/demo/keep")" = old
    ;;
  no-pseudo-terminal)
    isolated "mount --bind /dev/null /dev/ptmx && $demo"
    status=$?
    check "ends with a non-zero status (got $status)" test "$status" -ne 0 -a "$status" -ne 124
    check "says why" has "demo: the virtual fiscal printer did not start on a pseudo-terminal"
    ;;
  *)
    echo "unknown case $case_name"
    exit 2
    ;;
esac
[ "$failed" -eq 0 ] || { echo "--- demo output ---"; cat "$work/out"; }
exit "$failed"
