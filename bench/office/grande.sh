#!/usr/bin/env bash
# A large client base: 1,000,000 invoices (10,000 a month over 100 months, March 2016 on),
# 5,000,000 items and 100,000 products, written straight into a copy of the template by
# the engine (one block of inserts, forced writes off while filling). Then times the
# month's generation, the backup and the restore, and the opening of the invoice list.
# Usage: bench/office/grande.sh BUILD_DIR [WORK_DIR]
# Run by hand, never in ctest: filling takes many minutes and a few GB of disk.
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
work=${2:-$(mktemp -d /tmp/office-large-XXXXXX)}
mkdir -p "$work"
cli="$build/bin/tributarium-cli"
export TRIBUTARIUM_LOGIN=admin TRIBUTARIUM_SENHA=admin
cd "$work"
[ -f Dados/tributariumbase.fdb ] || "$cli" init >/dev/null
db="$work/Dados/Grande/tributariumdados.fdb"
if [ ! -f "$db" ]; then
  mkdir -p Dados/Grande
  cp "$build/share/tributarium/Default/tributariumdados.fdb" "$db.enchendo"
  gfix -user SYSDBA -write async "$db.enchendo"
  echo "== filling: 100,000 products, 1,000,000 invoices, 5,000,000 items =="
  start=$(date +%s)
  isql-fb -user SYSDBA -q "$db.enchendo" <<'SQL'
set term ^;
execute block as
  declare i integer = 1;
begin
  while (i <= 100000) do begin
    insert into PRODUTO (ID_PRODUTO, CD_PRODUTO, TX_DESCRICAO, TX_VALOR_UNITARIO,
      TX_PRECO_COMPRA, TX_UNIDADE, TX_ALIQUOTA, TX_TIPO_ALIQUOTA, CS_CONTROLA_ESTOQUE,
      TX_QUANTIDADE)
    values (:i, :i, 'Produto ' || :i, '1000', '800', 'UN', '1800', 'T', 0, '0000');
    i = i + 1;
  end
end^
commit^
execute block as
  declare n integer = 1;
  declare k integer;
  declare d date;
begin
  while (n <= 1000000) do begin
    d = dateadd(month, (n - 1) / 10000, date '2016-03-01') + mod(n, 28);
    insert into NOTA_FISCAL (ID_NOTA, NB_NOTA, TX_CNPJ, TX_IE, TX_UF, DT_EMISSAO, NB_MODELO,
      TX_SERIE, NB_CFOP, TX_EMITENTE, TX_ALIQUOTA, TX_VALOR_TOTAL, TX_BASE_ICMS,
      TX_VALOR_ICMS, TX_VALOR_ISENTO, TX_OUTROS_VALORES, TX_SITUACAO)
    values (:n, :n, '11222333000181', '123456789', 'SP', :d, 1, '1', 5102, 'Próprio',
      '1800', '50000', '50000', '9000', '000', '000', 'N');
    k = 1;
    while (k <= 5) do begin
      insert into PRODUTO_NOTA (ID_PRODUTO, CD_PRODUTO, NB_ITEM, TX_QUANTIDADE, TX_VALOR_ITEM,
        TX_VALOR_DESCONTO, TX_BASE_ICMS, TX_BASE_SUBSTITUICAO, TX_VALOR_IPI, TX_ALIQUOTA,
        NB_CST, TX_DESCRICAO, ID_NOTA)
      values ((:n - 1) * 5 + :k, mod(:n * 7 + :k, 100000) + 1, :k, '1000', '10000', '000',
        '10000', '000', '000', '1800', 0, 'Item', :n);
      k = k + 1;
    end
    n = n + 1;
  end
end^
commit^
set term ;^
set generator GEN_PRODUTO to 100000;
set generator GEN_NOTA_FISCAL to 1000000;
set generator GEN_PRODUTO_NOTA to 5000000;
commit;
SQL
  gfix -user SYSDBA -write sync "$db.enchendo"
  mv "$db.enchendo" "$db"
  echo "filled in $(($(date +%s) - start)) s"
  "$cli" base importar Grande "$work/Dados/Grande" >/dev/null
fi
ls -l "$db" | awk '{print "database bytes: " $5}'

echo "== gerar, one month of 10,000 invoices / 50,000 items =="
/usr/bin/time -f "gerar wall %e s (user %U s, sys %S s), peak %M KB" "$cli" gerar --base Grande \
  --mes 3 --ano 2024 --saida "$work/mes" >/dev/null
echo "== gerar, a month without invoices (the same base) =="
/usr/bin/time -f "gerar wall %e s (user %U s, sys %S s), peak %M KB" "$cli" gerar --base Grande \
  --mes 3 --ano 2030 --saida "$work/vazio" >/dev/null
echo "== base backup / base restaurar =="
/usr/bin/time -f "backup wall %e s (user %U s, sys %S s), peak %M KB" "$cli" base backup Grande \
  "$work/grande.fbk" >/dev/null
ls -l "$work/grande.fbk" | awk '{print "backup bytes: " $5}'
/usr/bin/time -f "restaurar wall %e s (user %U s, sys %S s), peak %M KB" "$cli" base restaurar \
  Grande "$work/grande.fbk" >/dev/null
if [ -x "$build/bin/office_lista_bench" ]; then
  echo "== the invoice list and the products editor, opened as the program opens them =="
  "$build/bin/office_lista_bench" "$work/Dados" "$work/Dados/Grande"
fi
uptime
echo "work folder: $work"
