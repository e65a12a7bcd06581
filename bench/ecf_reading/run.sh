#!/usr/bin/env bash
# A month's reading end to end (31 Zs, about 10,000 coupons) on the virtual printer, under
# nice, with the machine's load beside it. Usage: bench/ecf_reading/run.sh [BUILD_DIR]
# [days] [coupons per day]
set -euo pipefail
build=${1:-build}
shift || true
cmake --build "$build" --target bench_ecf_reading orvik leitura ato17 >/dev/null
uptime
nice -n 10 "$build/bin/bench_ecf_reading" "$build/lib/liborvik.so.1" "$@"
uptime
