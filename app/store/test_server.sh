#!/usr/bin/env bash
# Starts or stops a private Firebird server for the store's server-mode tests:
#   test_server.sh start FOLDER PORT    test_server.sh stop FOLDER
# The instance has its own root folder (configuration, security database, lock
# folder) and listens on 127.0.0.1:PORT only, so a server the user runs himself is
# not touched. SYSDBA's password is set to the one the program connects with.
set -euo pipefail
action=$1
dir=$2
port=${3:-3055}
fbroot=${FBROOT:-/usr/lib/x86_64-linux-gnu/firebird/3.0}
server=${FBSERVER:-/usr/sbin/firebird}
secdb_src=${FBSECDB:-/var/lib/firebird/3.0/system/security3.fdb}

stop() {
  if [ -f "$dir/server.pid" ]; then
    pid=$(cat "$dir/server.pid")
    if kill -0 "$pid" 2>/dev/null; then
      kill "$pid" 2>/dev/null || true
      for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
      kill -9 "$pid" 2>/dev/null || true
    fi
    rm -f "$dir/server.pid"
  fi
}

case "$action" in
  stop)
    stop
    exit 0
    ;;
  start) ;;
  *)
    echo "usage: $0 start FOLDER PORT | stop FOLDER" >&2
    exit 2
    ;;
esac

stop
rm -rf "$dir/root"
mkdir -p "$dir/root/lock" "$dir/root/tmp" "$dir/data"
root=$dir/root
for f in firebird.msg lib plugins UDF; do
  if [ -e "$fbroot/$f" ]; then ln -s "$(readlink -f "$fbroot/$f")" "$root/$f"; fi
done
# The character sets: the engine reads the system's fbintl.conf, whose module path
# starts at $(root), now this private root. The module must be a real file there: a
# link to it loads but its character sets are not found.
mkdir -p "$root/intl"
cp -L "$fbroot/intl/"* "$root/intl/"
cp "$(readlink -f "$fbroot/plugins.conf")" "$root/plugins.conf"
cp "$(readlink -f "$fbroot/fbtrace.conf")" "$root/fbtrace.conf" 2>/dev/null || true
cp "$secdb_src" "$root/security3.fdb"
cat >"$root/firebird.conf" <<CONF
RemoteServicePort = $port
RemoteBindAddress = 127.0.0.1
RemoteAuxPort = 0
AuthServer = Srp, Legacy_Auth
UserManager = Srp
WireCrypt = Enabled
ServerMode = Super
SecurityDatabase = $root/security3.fdb
CONF
cat >"$root/databases.conf" <<CONF
security.db = $root/security3.fdb
CONF

export FIREBIRD=$root FIREBIRD_LOCK=$root/lock FIREBIRD_TMP=$root/tmp
echo "CREATE OR ALTER USER SYSDBA PASSWORD 'quernstab' USING PLUGIN Srp; COMMIT;" |
  isql-fb -q -b -user SYSDBA "$root/security3.fdb" >"$dir/isql.log" 2>&1 || {
  cat "$dir/isql.log" >&2
  exit 1
}

setsid "$server" </dev/null >"$dir/server.log" 2>&1 &
echo $! >"$dir/server.pid"

# Ready when the port answers.
for _ in $(seq 100); do
  if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
    echo "Firebird test server on 127.0.0.1:$port (pid $(cat "$dir/server.pid"))"
    exit 0
  fi
  if ! kill -0 "$(cat "$dir/server.pid")" 2>/dev/null; then break; fi
  sleep 0.1
done
echo "the Firebird test server did not start:" >&2
cat "$dir/server.log" >&2
stop
exit 1
