#!/usr/bin/env bash
# An accountant's office: 200 client bases with a small month each. Times the listing,
# one base's generation (the selection of a base included) and `gerar --todas`.
# Usage: bench/office/run.sh BUILD_DIR [WORK_DIR] [BASES]
# Run by hand (not part of ctest). A WORK_DIR that already holds the bases is reused.
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
work=${2:-$(mktemp -d /tmp/office-bench-XXXXXX)}
bases=${3:-200}
mkdir -p "$work"
cli="$build/bin/tributarium-cli"
dados="$build/bin/tributarium-demo-dados"
mes=3 ano=2024
export TRIBUTARIUM_LOGIN=admin TRIBUTARIUM_SENHA=admin
cd "$work"
if [ ! -f Dados/tributariumbase.fdb ]; then
  "$cli" init >/dev/null
fi
have=$("$cli" base listar | wc -l)
if [ "$have" -le "$bases" ]; then
  echo "== making $bases bases with the demo month (small) =="
  start=$(date +%s.%N)
  for i in $(seq -w "$have" "$bases"); do
    [ "$i" -eq 0 ] && continue
    "$cli" base criar "Cliente$i" >/dev/null
    "$dados" preencher "Cliente$i" $mes $ano >/dev/null
  done
  echo "made in $(echo "$(date +%s.%N) - $start" | bc) s"
fi
[ -f catalogo.orig ] || cp Dados/tributariumbase.fdb catalogo.orig
du -sh Dados | sed 's/^/disk: /'

echo "== base listar (3 runs) =="
for i in 1 2 3; do
  /usr/bin/time -f "listar wall %e s (user %U s, sys %S s), peak %M KB" "$cli" base listar >/dev/null
done
echo "== gerar --base of one base (the selection by name included, 3 runs) =="
for i in 1 2 3; do
  /usr/bin/time -f "gerar wall %e s (user %U s, sys %S s), peak %M KB" "$cli" gerar \
    --base "Cliente$(printf %0${#bases}d $((bases / 2)))" --mes $mes --ano $ano --saida "$work/um" >/dev/null
done
echo "== gerar --todas over $bases bases =="
cp catalogo.orig Dados/tributariumbase.fdb
/usr/bin/time -f "gerar --todas wall %e s (user %U s, sys %S s), peak %M KB" "$cli" gerar --todas \
  --mes $mes --ano $ano --saida "$work/todas" >"$work/todas.txt"
echo "bases in the table: $(($(wc -l <"$work/todas.txt") - 1)), ok: $(grep -c ' ok$' "$work/todas.txt")"
head -3 "$work/todas.txt"
uptime
echo "work folder: $work"
