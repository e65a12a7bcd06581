#!/usr/bin/env bash
# Generation of a large month, timed beside isql-fb running the same three selects.
# Usage: bench/generation/run.sh BUILD_DIR [WORK_DIR]
# Run by hand (not part of ctest): filling the base takes a few minutes.
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
work=${2:-$(mktemp -d /tmp/generation-bench-XXXXXX)}
mkdir -p "$work"
cli="$build/bin/tributarium-cli"
dados="$build/bin/tributarium-demo-dados"
isql=$(command -v isql-fb)
mes=3 ano=2024
export TRIBUTARIUM_LOGIN=admin TRIBUTARIUM_SENHA=admin
cd "$work"
if [ ! -f Dados/Bench/tributariumdados.fdb ]; then
  "$cli" init >/dev/null
  "$cli" base criar Bench >/dev/null
  echo "== filling: 20,000 invoices, about 100,000 items, 10,000 products =="
  /usr/bin/time -f "fill wall %e s" "$dados" preencher Bench $mes $ano grande
fi
db="$work/Dados/Bench/tributariumdados.fdb"
# Every run starts from the same catalogue: each run adds its log lines (about 10,000 here)
# and the catalogue connection reads all of today's lines.
[ -f catalogo.orig ] || cp Dados/tributariumbase.fdb catalogo.orig

cat > selects.sql <<SQL
select * from nota_fiscal
where DT_EMISSAO between '2024-03-01' and '2024-03-31'
order by DT_EMISSAO;
select nf.tx_cnpj, nf.nb_modelo, nf.tx_serie, nf.nb_nota, nf.nb_cfop, prod.*
from nota_fiscal nf left join produto_nota prod on nf.id_nota = prod.id_nota
where nf.dt_emissao between '2024-03-01' and '2024-03-31'
order by nf.id_nota;
select * from PRODUTO order by CAST(CD_PRODUTO AS INTEGER) asc;
SQL

echo "== isql-fb, the three selects, output discarded (3 runs) =="
for i in 1 2 3; do
  /usr/bin/time -f "isql wall %e s (user %U s, sys %S s), peak %M KB" "$isql" -user SYSDBA -password x -q "$db" \
    -i selects.sql >/dev/null
done
echo "== tributarium-cli gerar, default kinds (3 runs) =="
for i in 1 2 3; do
  cp catalogo.orig Dados/tributariumbase.fdb
  /usr/bin/time -f "gerar wall %e s (user %U s, sys %S s), peak %M KB" "$cli" gerar --base Bench --mes $mes --ano $ano \
    --saida "$work/out" >/dev/null
done
"$cli" sintegra ler "$work/out/Sintegra.txt"
echo "== the same, catalogue not restored: today's log grows run after run =="
for i in 1 2 3; do
  /usr/bin/time -f "gerar wall %e s (user %U s, sys %S s), peak %M KB" "$cli" gerar --base Bench \
    --mes $mes --ano $ano --saida "$work/out" >/dev/null
done
uptime
echo "work folder: $work"
