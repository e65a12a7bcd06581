#!/usr/bin/env bash
# Builds the delivered databases from the DDL with isql-fb (embedded engine):
#   build_databases.sh DDL_FOLDER OUT_FOLDER
# OUT_FOLDER/tributariumbase.fdb (base 1 "Default", user ADMIN / admin) and
# OUT_FOLDER/Default/tributariumdados.fdb. Files are built aside and moved in place,
# so an interrupted build never leaves a half-made database behind.
set -euo pipefail
ddl=$(cd "$1" && pwd)
out=$2
isql=${ISQL:-isql-fb}
mkdir -p "$out/Default"
out=$(cd "$out" && pwd)
work=$(mktemp -d "$out/.build.XXXXXX")
trap 'rm -rf "$work"' EXIT

make_db() {  # file, sql files...
  local file=$1; shift
  {
    echo "SET SQL DIALECT 3;"
    echo "CREATE DATABASE '$file' USER 'SYSDBA' PASSWORD 'masterkey' PAGE_SIZE 8192 DEFAULT CHARACTER SET WIN1252;"
    for f in "$@"; do echo "INPUT '$f';"; done
  } >"$work/run.sql"
  # isql reports SQL errors on stderr but may still exit 0: any error fails the build.
  "$isql" -q -b -i "$work/run.sql" 2>"$work/err.txt" || { cat "$work/err.txt" >&2; exit 1; }
  if [ -s "$work/err.txt" ]; then cat "$work/err.txt" >&2; exit 1; fi
}

make_db "$work/tributariumbase.fdb" "$ddl/catalogo.sql" "$ddl/catalogo_inicial.sql"
make_db "$work/tributariumdados.fdb" "$ddl/dados.sql"
chmod 0664 "$work"/*.fdb
mv -f "$work/tributariumbase.fdb" "$out/tributariumbase.fdb"
mv -f "$work/tributariumdados.fdb" "$out/Default/tributariumdados.fdb"
