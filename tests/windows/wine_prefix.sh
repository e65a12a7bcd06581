#!/usr/bin/env bash
# Creates the Wine prefix of the Windows tests once (in the build folder) and maps COM1
# and COM2 to links that each case points at its virtual devices' pseudo-terminals.
#   wine_prefix.sh WINE_ROOT
set -euo pipefail
. "$(dirname "$0")/wine_env.sh" "$1"
mkdir -p "$wine_root"
stamp=$WINEPREFIX/.orvik-ports
if [ ! -f "$stamp" ]; then
  "$WINE" wineboot -i </dev/null >"$wine_root/prefix.log" 2>&1
  for n in $WINE_PORTS; do
    "$WINE" reg add 'HKLM\Software\Wine\Ports' /v "COM$n" /t REG_SZ /d "$wine_root/com$n" /f \
      >/dev/null 2>&1
  done
  # The device mapping is read when the server starts.
  "$WINESERVER" -k </dev/null >/dev/null 2>&1 || true
  "$WINESERVER" -w </dev/null >/dev/null 2>&1 || true
  touch "$stamp"
fi
echo "prefix ready: $WINEPREFIX"
