#!/bin/sh
# The validator over a clean file of N lines (default 1,000,000), beside wc -l of the same
# file, each timed by /usr/bin/time. Usage: bench/sintegra_validacao/run.sh BUILD_DIR [N]
set -eu
build=${1:?usage: run.sh BUILD_DIR [N]}
n=${2:-1000000}
bench="$build/bin/sintegra_validacao_bench"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bench" gera "$n" "$work/Sintegra.txt"
for i in 1 2 3; do
  /usr/bin/time -f "wc -l: wall %e s (user %U s, sys %S s), peak %M KB" wc -l "$work/Sintegra.txt"
done
for i in 1 2 3; do
  /usr/bin/time -f "validar: wall %e s (user %U s, sys %S s), peak %M KB" "$bench" valida "$work/Sintegra.txt"
done
"$build/bin/tributarium-cli" sintegra validar "$work/Sintegra.txt" | tail -1
uptime
