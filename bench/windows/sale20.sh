#!/usr/bin/env bash
# Per-command cost of a 20-item sale: Orvik.dll under Wine beside liborvik.so, on the same
# virtual printer and pty link (README.md).
#   sale20.sh BUILD_DIR [RUNS]
set -euo pipefail
export LC_ALL=C
build=$(cd "$1" && pwd) runs=${2:-3}
root=$(cd "$(dirname "$0")/../.." && pwd)
wine_root=$build/tests/windows/work/wine
. "$root/tests/windows/wine_env.sh" "$wine_root"
work=$build/bench/windows-sale20
rm -rf "$work"; mkdir -p "$work/linux" "$work/wine"

{
  echo "Orvik_AbreCupom	s:"
  for i in $(seq 20); do echo "Orvik_VendeItem	s:$i	s:ITEM $i	s:II	s:I	s:1	i:2	s:1,00	s:\$	s:0"; done
  echo "Orvik_IniciaFechamentoCupom	s:D	s:\$	s:1,00"
  echo "Orvik_EfetuaFormaPagamento	s:Dinheiro	s:19,00"
  echo "Orvik_TerminaFechamentoCupom	s:"
} >"$work/sale.txt"
echo "Orvik_ProgramaOperador	s:CAIXA" >"$work/empty.txt"
commands=24

sim_pid=
start_sim() {
  "$build/bin/orvik-ecf-sim" --clock "2026-12-10 10:00:00" --state "$1/ecf.state" >"$1/sim.out" 2>/dev/null &
  sim_pid=$!
  for _ in $(seq 100); do [ -s "$1/sim.out" ] && break; sleep 0.05; done
  ln -sfn "$(head -n1 "$1/sim.out")" "$wine_root/com1"
}
stop_sim() { kill "$sim_pid"; wait "$sim_pid" 2>/dev/null || true; }
ms() { echo $(($(date +%s%N) / 1000000)); }

printf '[Sistema]\r\nPorta=COM1\r\nChecaCTS=0\r\nPath=%s/\r\n[Portas]\r\nCOM1=%s\r\n' \
  "$work/linux" "$wine_root/com1" >"$work/linux/ORVIK.INI"
printf '[Sistema]\r\nPorta=COM1\r\nChecaCTS=0\r\nPath=Z:%s\\\r\n' "$(echo "$work/wine" | tr / '\\')" \
  >"$work/wine/ORVIK.INI"
cp "$build/bin/orvik-host-linux" "$work/linux/orvik-host"
cp "$root/build-windows/win64/orvik-host.exe" "$root/build-windows/win64/Orvik.dll" "$work/wine/"

run() {  # side script -> milliseconds
  local side=$1 script=$2 t0
  t0=$(ms)
  if [ "$side" = linux ]; then
    (cd "$work/linux" && ./orvik-host "$script" out.txt "$build/lib/liborvik.so")
  else
    (cd "$work/wine" && "$WINE" ./orvik-host.exe "$script" out.txt)
  fi
  echo $(($(ms) - t0))
}

for side in linux wine; do
  start_sim "$work/$side"
  cp "$work/sale.txt" "$work/empty.txt" "$work/$side/"
  total=0 empty=0
  for r in $(seq "$runs"); do
    e=$(run "$side" empty.txt); s=$(run "$side" sale.txt)
    grep -q '=0' "$work/$side/out.txt" && { echo "$side: a command failed"; cat "$work/$side/out.txt"; }
    empty=$((empty + e)) total=$((total + s))
  done
  stop_sim
  per=$(( (total - empty) * 1000 / runs / commands ))
  echo "$side: sale ${total}ms, start-up ${empty}ms over $runs runs -> $((per / 1000)).$(printf %03d $((per % 1000))) ms per command"
done
