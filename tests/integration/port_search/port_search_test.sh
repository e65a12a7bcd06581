#!/usr/bin/env bash
# Usage: port_search_test.sh BIN_DIR
set -uo pipefail
bin=$1
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
failed=0
expect() {  # expect DESCRIPTION PATTERN TEXT
  if ! grep -qF -- "$2" <<<"$3"; then
    echo "FAILED: $1: no '$2' in:"
    echo "$3"
    failed=1
  fi
}

# Starts a device and sets the variable NAME to the slave's path, its first output line.
# Not called in a $(...) subshell: the pid must reach this shell's list, or the cleanup
# would leave the devices running.
start() {  # start NAME PROGRAM ARGS...
  local out=$work/$1.out
  "${@:2}" >"$out" 2>"$work/$1.err" &
  pids+=($!)
  for _ in $(seq 200); do
    [ -s "$out" ] && break
    sleep 0.02
  done
  printf -v "$1" '%s' "$(head -n1 "$out")"
}

export ORVIK_INI=$work/ORVIK.INI
start ecf "$bin/orvik-ecf-sim"
start qvx "$bin/orvik-qvx-sim"
start vuno "$bin/orvik-vuno-sim" --serial --speed 19200 --journal "$work/vuno.journal"
start scale "$bin/orvik-scale-sim"
# A line with nobody on the other side.
start mute "$bin/orvik-vuno-sim" --serial --speed 57600

# A receipt printer at 57600 bit/s is at none of the speeds tried: nothing answers there.
out=$("$bin/orvik-cli" --procura "$ecf" "$qvx" "$vuno" "$scale" "$mute" "$work/ttyUSB9" 2>&1)
expect "Lumvar found" "$ecf: Lumvar fiscal printer at 115200 bit/s" "$out"
expect "Lumvar keys" "ModeloImp=ORVIK_KAP Porta=$ecf BAUD=115200" "$out"
expect "QVX found" "$qvx: QVX fiscal printer at 9600 bit/s" "$out"
expect "QVX keys" "ModeloImp=ORVIK_820 (ORVIK_610 for the 610) Porta=$qvx" "$out"
expect "receipt printer found at its speed" "$vuno: non-fiscal printer at 19200 bit/s" "$out"
expect "receipt printer keys" "ModeloImp=ORVIK_VUNO_SERIAL Porta=$vuno BAUD=19200" "$out"
expect "scale found" "$scale: scale at 9600 bit/s" "$out"
expect "missing device" "$work/ttyUSB9: no such device" "$out"
# Nothing printed on the receipt printer while it was being looked for.
if grep -q "^line" "$work/vuno.journal" 2>/dev/null; then
  echo "FAILED: the search printed on the receipt printer"; failed=1
fi

expect "silent line" "$mute: no answer" "$out"

# -5 with the reason.
printf '[Sistema]\r\nPorta=%s\r\nPath=%s/\r\n' "$work/ttyUSB9" "$work" >"$ORVIK_INI"
out=$(cd "$work" && "$bin/orvik-cli" Orvik_AbrePortaSerial 2>&1)
expect "-5 kept" "result: -5" "$out"
expect "no such device named" "port $work/ttyUSB9 ($work/ttyUSB9): no such device" "$out"

printf '[Sistema]\r\nPorta=COM1\r\nPath=%s/\r\n[Portas]\r\nCOM1=%s\r\n' "$work" "$ecf" >"$ORVIK_INI"
# This shell holds the line's lock, as another driver process would.
exec 9<"$ecf"
flock -n 9 || { echo "FAILED: cannot take the line's lock"; failed=1; }
out=$(cd "$work" && "$bin/orvik-cli" Orvik_AbrePortaSerial 9<&- 2>&1)
expect "-5 when held" "result: -5" "$out"
expect "held named" "port COM1 ($ecf): held by another process" "$out"
exec 9<&-

if [ "$(id -u)" != 0 ]; then
  chmod 000 "$ecf"
  out=$(cd "$work" && "$bin/orvik-cli" Orvik_AbrePortaSerial 2>&1)
  expect "permission named with the group" "permission denied: the user must be in the dialout group" "$out"
  chmod 600 "$ecf"
fi
exit $failed
