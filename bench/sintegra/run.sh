#!/bin/sh
# Runs the Sintegra figures: writing and loading N records (default 1,000,000) beside one
# buffered stream doing the same I/O. Usage: bench/sintegra/run.sh BUILD_DIR [N]
set -eu
build=${1:?usage: run.sh BUILD_DIR [N]}
n=${2:-1000000}
bench="$build/bin/sintegra_bench"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bench" write "$n" "$work"
"$bench" baseline-write "$n" "$work/baseline.txt"
"$bench" baseline-write-sync "$n" "$work/baseline.txt"
cmp "$work/Sintegra.txt" "$work/baseline.txt" && echo "same bytes: yes"
"$bench" load "$work/Sintegra.txt"
"$bench" baseline-read "$work/Sintegra.txt"
"$bench" baseline-read-keep "$work/Sintegra.txt"
