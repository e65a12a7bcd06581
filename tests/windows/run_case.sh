#!/usr/bin/env bash
# One case of the Windows tests. The case's host script runs twice, each time against
# fresh virtual devices on pseudo-terminals: through liborvik.so by the Linux build of the
# test host, and through Orvik.dll by orvik-host.exe under Wine (the devices' ptys mapped
# as COM ports). The transcripts, the devices' journals, RETORNO.TXT and the files the
# case names must then be byte-identical.
#   run_case.sh CASE_DIR WORK_DIR LINUX_BIN LINUX_LIB WINDOWS_DIR
# The case folder holds script.txt (orvik_host.c says its form), ORVIK.INI (without
# Path and [Portas], which this script adds per side) and case.conf: DEVICES (kind:port
# pairs, kind one of ecf qvx vuno scale, or file: a plain file linked as the port),
# COMPARE (files, globs allowed), WINDOWS_LIBS (DLLs copied beside the Windows host),
# WINE_ONLY=1 for a case that runs under Wine alone, WINE_LOG_PATTERN (a line LOG.DAT
# must hold under Wine). expected.txt, when
# present, lists lines the transcript must hold.
set -euo pipefail
export LC_ALL=C
mkdir -p "$2"
case_dir=$(cd "$1" && pwd) work=$(cd "$2" && pwd) linux_bin=$(cd "$3" && pwd)
linux_lib=$(cd "$4" && pwd) windows_dir=$(cd "$5" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
name=$(basename "$case_dir")
wine_root=$work/wine
. "$here/wine_env.sh" "$wine_root"
DEVICES="" COMPARE="" WINDOWS_LIBS="" WINE_ONLY=0 WINE_LOG_PATTERN=""
. "$case_dir/case.conf"

pids=()
stop_devices() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  pids=()
}
trap stop_devices EXIT

# Starts the case's devices for one side, in that side's folder; each device's pty is
# linked as $wine_root/comN.
start_devices() {
  local side=$1 entry kind port cmd out
  for entry in $DEVICES; do
    kind=${entry%%:*} port=${entry##*:}
    out=$side/$kind.out
    case $kind in
      ecf) cmd=("$linux_bin/orvik-ecf-sim" --clock "2026-12-10 10:00:00" --frozen-clock
                --state "$side/ecf.state") ;;
      qvx) cmd=("$linux_bin/orvik-qvx-sim" --model 820 --clock "2026-12-10 10:00:00" --frozen-clock
                --state "$side/qvx.state" --tape "$side/qvx-tape.txt") ;;
      vuno) cmd=("$linux_bin/orvik-vuno-sim" --serial --speed 9600 --journal "$side/vuno-journal.txt") ;;
      scale) cmd=("$linux_bin/orvik-scale-sim" --speed 2400 --weight "01,250") ;;
      # A plain file as the port: Wine applies the sharing mode to files, not to serial
      # devices, so a port another program holds is shown on a file.
      file) : >"$side/com$port.file"; ln -sfn "$side/com$port.file" "$wine_root/com$port"; continue ;;
      *) echo "run_case: unknown device $kind" >&2; exit 2 ;;
    esac
    (cd "$side" && ORVIK_ECF_SIM_CONTROL=$side/control.txt exec "${cmd[@]}" >"$out" 2>"$side/$kind.err") &
    pids+=($!)
    for _ in $(seq 100); do [ -s "$out" ] && break; sleep 0.05; done
    [ -s "$out" ] || { echo "run_case: $kind did not start" >&2; cat "$side/$kind.err" >&2; exit 1; }
    ln -sfn "$(head -n1 "$out")" "$wine_root/com$port"
  done
}

# ORVIK.INI of a side: the case's keys with CR LF, Path the side's folder, and on Linux the
# [Portas] mapping to the same links Wine maps.
write_ini() {
  local side=$1 path=$2 portas=$3
  {
    sed 's/\r$//' "$case_dir/ORVIK.INI" |
      P=$path awk '{ print } /^\[Sistema\]$/ { print "Path=" ENVIRON["P"] }'
    if [ "$portas" = yes ]; then
      echo "[Portas]"
      for n in $WINE_PORTS; do echo "COM$n=$wine_root/com$n"; done
    fi
  } | sed 's/$/\r/' >"$side/ORVIK.INI"
}

# One Wine server for the run of cases, ending by itself a minute after the last. Its
# output and that of the services Wine starts go to a file: a process that keeps the
# test's own output open would hold CTest until it ends.
"$WINESERVER" -p60 </dev/null >>"$wine_root/server.log" 2>&1 || true

rm -rf "$work/$name"
linux=$work/$name/linux wine=$work/$name/wine
mkdir -p "$linux" "$wine"
cp "$case_dir/script.txt" "$linux/"
cp "$case_dir/script.txt" "$wine/"

# Linux: the host copied into the side's folder, so that the driver's folders beside the
# executable (RFD, RFDTEMP) are the case's own.
linux_seconds=-
if [ "$WINE_ONLY" != 1 ]; then
  write_ini "$linux" "$linux/" yes
  cp "$linux_bin/orvik-host-linux" "$linux/orvik-host"
  start_devices "$linux"
  start=$(date +%s%N)
  (cd "$linux" && ORVIK_HOST_COM1=$wine_root/com1 ORVIK_HOST_COM2=$wine_root/com2 \
    ./orvik-host script.txt transcript.txt "$linux_lib/liborvik.so")
  linux_seconds=$((($(date +%s%N) - start) / 1000000))ms
  stop_devices
fi

# Windows.
write_ini "$wine" "Z:$(echo "$wine" | tr / '\\')\\" no
cp "$windows_dir/orvik-host.exe" "$windows_dir/Orvik.dll" "$wine/"
for dll in $WINDOWS_LIBS; do cp "$windows_dir/$dll" "$wine/"; done
start_devices "$wine"
start=$(date +%s%N)
(cd "$wine" && "$WINE" ./orvik-host.exe script.txt transcript.txt </dev/null >wine.out 2>&1) ||
  { cat "$wine/wine.out"; exit 1; }
wine_seconds=$((($(date +%s%N) - start) / 1000000))ms
stop_devices
echo "$name: linux $linux_seconds, wine $wine_seconds"
if [ "$WINE_ONLY" = 1 ]; then
  linux=$wine  # the expectations below are checked on the Wine side
  COMPARE=""
fi

# The comparison: every named file on both sides, the same bytes. ORVIK.INI without the
# lines this script wrote per side.
status=0
compare=()
[ "$WINE_ONLY" = 1 ] || compare=(transcript.txt)
for pattern in $COMPARE; do
  matched=$(cd "$linux" && compgen -G "$pattern" || true)
  [ -n "$matched" ] || { echo "FAIL: $pattern was not written on Linux"; status=1; }
  for f in $matched; do compare+=("$f"); done
done
for f in "${compare[@]}"; do
  if [ ! -f "$wine/$f" ]; then
    echo "FAIL: $f written on Linux but not under Wine"
    status=1
  elif [ "$f" = ORVIK.INI ]; then
    # without Path and the [Portas] section
    strip() { awk '/^\[/ { skip = ($0 ~ /^\[Portas\]/) } !skip && !/^Path=/' "$1"; }
    if ! diff <(strip "$linux/$f") <(strip "$wine/$f") >/dev/null; then
      echo "FAIL: ORVIK.INI differs"; diff <(strip "$linux/$f") <(strip "$wine/$f") | head -20 || true
      status=1
    else
      echo "same: ORVIK.INI (apart from Path and [Portas])"
    fi
  elif ! cmp -s "$linux/$f" "$wine/$f"; then
    echo "FAIL: $f differs"; diff "$linux/$f" "$wine/$f" | head -20 || true
    status=1
  else
    echo "same: $f ($(wc -c <"$linux/$f") bytes)"
  fi
done
# Each case states what it expects of the transcript (the answers of the exports).
if [ -f "$case_dir/expected.txt" ]; then
  while IFS= read -r want; do
    [ -z "$want" ] && continue
    grep -qxF -- "$want" "$linux/transcript.txt" || { echo "FAIL: no line \"$want\" in the transcript"; status=1; }
  done <"$case_dir/expected.txt"
fi
if [ -n "$WINE_LOG_PATTERN" ] && ! grep -q -- "$WINE_LOG_PATTERN" "$wine/LOG.DAT" 2>/dev/null; then
  echo "FAIL: LOG.DAT under Wine has no line matching $WINE_LOG_PATTERN"
  status=1
fi
echo "transcript:"; sed 's/^/  /' "$wine/transcript.txt"
exit $status
