#!/usr/bin/env bash
# The Debian packages as a user gets them.
#   packaging_test.sh make BUILD_DIR SOURCE_DIR PACKAGES_DIR
#     makes the four packages from the build folder (scripts/package, without lintian)
#   packaging_test.sh programs PACKAGES_DIR
#     unpacks them into a temporary root: every program answers --help from there and
#     has its manual page, the binaries are stripped, each package has its copyright and
#     changelog, the library its ldconfig trigger and shlibs, and the packages depend on
#     each other at this version; tributarium-cli installs the delivered databases from
#     the unpacked share/
#   packaging_test.sh normal-user PACKAGES_DIR
#     as an unprivileged user (needs root to become one; exit 77, skipped, otherwise):
#     tributarium-cli and the driver from the unpacked packages, with the virtual fiscal
#     printer on a pseudo-terminal, keep their working files in $XDG_STATE_HOME/orvik/,
#     and LOG.DAT names that folder once per start of the driver
set -uo pipefail
mode=$1
failed=0
check() {  # check DESCRIPTION COMMAND...
  if ! "${@:2}"; then
    echo "FAILED: $1"
    failed=1
  fi
}
fail() {
  echo "FAILED: $*"
  exit 1
}

# Every program a package installs, by package.
programs_of() {
  case $1 in
    tributarium) echo tributarium tributarium-cli ;;
    orvik-tools) echo orvik-cli orvik-ecf-sim orvik-qvx-sim orvik-vuno-sim orvik-scale-sim \
      orvik-relay tributarium-demo-dados ;;
  esac
}
packages="liborvik1 liborvik-dev tributarium orvik-tools"

unpack() {  # unpack PACKAGES_DIR ROOT
  local p deb
  for p in $packages; do
    deb=$(ls "$1"/"${p}"_*.deb 2>/dev/null | head -n 1)
    [ -n "$deb" ] || fail "no package $p in $1"
    dpkg-deb -x "$deb" "$2" || fail "dpkg-deb -x $deb"
  done
}

if [ "$mode" = make ]; then
  build=$2 source=$3 out=$4
  "$source/scripts/package" --no-lintian "$build" "$out" || fail "scripts/package"
  exit 0
fi

debs=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The unprivileged user must reach the unpacked programs.
chmod 755 "$work"
root=$work/root
unpack "$debs" "$root"
bin=$root/usr/bin
version=$(dpkg-deb -f "$(ls "$debs"/liborvik1_*.deb)" Version)

if [ "$mode" = programs ]; then
  for p in $packages; do
    deb=$(ls "$debs"/"${p}"_*.deb)
    check "$p has its copyright" test -s "$root/usr/share/doc/$p/copyright"
    check "$p has its changelog" gzip -t "$root/usr/share/doc/$p/changelog.Debian.gz"
    check "$p has an extended description" test "$(dpkg-deb -f "$deb" Description | wc -l)" -gt 2
    for program in $(programs_of "$p"); do
      check "$p installs $program" test -x "$bin/$program"
      check "$program has its manual page" gzip -t "$root/usr/share/man/man1/$program.1.gz"
      # No display, no library path: the program finds liborvik in ../lib by itself.
      out=$(env -u DISPLAY -u LD_LIBRARY_PATH QT_QPA_PLATFORM= HOME="$work" "$bin/$program" --help 2>&1)
      code=$?
      check "$program --help exits 0 ($code): $out" test "$code" -eq 0
      check "$program --help names the program: $out" grep -q "$program" <<<"$out"
    done
  done
  extra=$(cd "$bin" && ls | grep -vxF -f <(for p in $packages; do programs_of "$p" | tr ' ' '\n'; done))
  check "no program without a test here: $extra" test -z "$extra"

  # Every library a binary links is a system one or one of the packages'.
  for f in "$bin"/* "$root"/usr/lib/*.so*; do
    [ -L "$f" ] && continue
    check "$f is stripped" grep -q ', stripped' <<<"$(file -b "$f")"
    libs=$(env -u LD_LIBRARY_PATH ldd "$f" 2>&1)
    check "$f finds every library: $(grep 'not found' <<<"$libs")" test -z "$(grep 'not found' <<<"$libs")"
  done
  # orvik-cli loads the unpacked driver: through the development link when liborvik-dev
  # is there, through the soname in ../lib when only liborvik1 is.
  for loaded in liborvik.so liborvik.so.1; do
    out=$(cd "$work" && env -u LD_LIBRARY_PATH ORVIK_INI="$work/ORVIK.INI" LD_DEBUG=files \
      "$bin/orvik-cli" Orvik_RetornoImpressora 2>&1)
    init=$(sed -n 's/.*calling init: \(.*liborvik[^ ]*\)$/\1/p' <<<"$out" | head -n 1)
    check "orvik-cli loads $root/usr/lib/$loaded: $(grep -a 'liborvik\|result' <<<"$out")" \
      test "$(realpath -sm "${init:-none}")" = "$root/usr/lib/$loaded"
    rm -f "$root/usr/lib/liborvik.so"
  done

  control() { dpkg-deb -I "$(ls "$debs"/"$1"_*.deb)" "$2" 2>/dev/null; }
  check "liborvik1 activates the ldconfig trigger" grep -qx 'activate-noawait ldconfig' <<<"$(control liborvik1 triggers)"
  check "liborvik1 declares its shlibs" grep -qxF "liborvik 1 liborvik1 (>= ${version%-*})" <<<"$(control liborvik1 shlibs)"
  check "liborvik1 has no maintainer script" test -z "$(control liborvik1 postinst)$(control liborvik1 postrm)"
  for p in liborvik-dev tributarium orvik-tools; do
    depends=$(dpkg-deb -f "$(ls "$debs"/"${p}"_*.deb)" Depends)
    check "$p depends on liborvik1 (= $version): $depends" grep -qF "liborvik1 (= $version)" <<<"$depends"
  done
  depends=$(dpkg-deb -f "$(ls "$debs"/tributarium_*.deb)" Depends)
  check "tributarium depends on the embedded engine: $depends" grep -q 'firebird3.0-server-core' <<<"$depends"
  check "tributarium depends on the system libraries: $depends" grep -q 'libqt6widgets6' <<<"$depends"

  # The delivered databases come from the unpacked share/tributarium.
  mkdir -p "$work/escritorio"
  out=$(cd "$work/escritorio" && FIREBIRD_LOCK=$work/firebird TRIBUTARIUM_LOGIN=admin \
    TRIBUTARIUM_SENHA=admin "$bin/tributarium-cli" init 2>&1)
  check "tributarium-cli init from the unpacked root: $out" test -n "$(find "$work/escritorio" -iname tributariumbase.fdb)"
  exit $failed
fi

[ "$mode" = normal-user ] || fail "unknown mode $mode"
if [ "$(id -u)" -ne 0 ]; then
  echo "SKIPPED: becoming an unprivileged user needs root"
  exit 77
fi
command -v setpriv >/dev/null || fail "setpriv is missing (util-linux)"
user=$work/user
state=$user/state
mkdir -p "$user/escritorio"
chown -R nobody:nogroup "$user"
# As nobody, in the office folder, with a home of its own.
as_nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups env -i PATH=/usr/bin:/bin
  HOME="$user" XDG_STATE_HOME="$state" FIREBIRD_LOCK="$user/firebird" TRIBUTARIUM_LOGIN=admin
  TRIBUTARIUM_SENHA=admin)
as_user() {  # as_user COMMAND...
  (cd "$user/escritorio" && exec "${as_nobody[@]}" "$@")
}
as_user test -w "$bin" && fail "the unpacked programs' folder $bin is open to the user"
mine=$state/orvik

# The driver's first start writes its new ORVIK.INI into the user's folder.
as_user "$bin/orvik-cli" Orvik_RetornoImpressora >"$work/first.out" 2>&1
check "the first start writes ORVIK.INI in $mine: $(cat "$work/first.out")" test -f "$mine/ORVIK.INI"
ini=$mine/ORVIK.INI
as_user sed -i 's/^\[Sistema\]\r$/&\nHomologar=1\r/' "$ini"
grep -q '^Homologar=1' "$ini" || fail "cannot switch the log on in $ini: $(cat -A "$ini")"

# The virtual printer, as the same user, writes its pseudo-terminal into that ORVIK.INI.
mes=3 ano=2026
# exec: the process in the background is the printer itself, which the trap's kill reaches.
(cd "$user/escritorio" && exec "${as_nobody[@]}" "$bin/orvik-ecf-sim" --ini "$ini" \
  --state "$user/impressora.estado" --clock "$ano-03-02 08:00:00") >"$work/sim.out" 2>"$work/sim.err" &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do
  [ -s "$work/sim.out" ] && break
  sleep 0.1
done
[ -s "$work/sim.out" ] || fail "the virtual printer did not start: $(cat "$work/sim.err")"

starts=0
driver() {
  starts=$((starts + 1))
  local out
  out=$(as_user timeout 60 "$bin/orvik-cli" "$@" 2>&1)
  grep -qx 'result: 1' <<<"$out" || fail "orvik-cli $*: $out"
}
driver Orvik_ProgramaAliquota 18,00 0
driver Orvik_AbreCupom ""
driver Orvik_VendeItem 7891000100103 "ARROZ TIPO 1 5KG" 18,00 I 2 2 12,50 '$' 0
driver Orvik_IniciaFechamentoCupom A '$' 0
driver Orvik_EfetuaFormaPagamento Dinheiro 30,00
driver Orvik_TerminaFechamentoCupom "Obrigado"
driver Orvik_ReducaoZ "" ""

# The program: a client base of the delivered catalogue, and the month's file with the
# printer read through the driver.
for step in "init" "base criar Loja"; do
  # shellcheck disable=SC2086
  out=$(as_user "$bin/tributarium-cli" $step 2>&1) || fail "tributarium-cli $step: $out"
done
starts=$((starts + 1))
# The base holds no company data, so the file is made with the validator's errors; what
# counts here is that the printer's records are in it.
arquivo=$(as_user timeout 300 "$bin/tributarium-cli" gerar --base Loja --mes $mes --ano $ano \
  --tipos 60M,60A,60D,60I,60R,90 --ler-ecf --porta COM1 2>"$work/gerar.err") ||
  fail "tributarium-cli gerar --ler-ecf: $(cat "$work/gerar.err")"
arquivo=$(tail -n 1 <<<"$arquivo")
check "the month's file is written: $arquivo $(cat "$work/gerar.err")" test -s "$arquivo"
check "the month's file holds the printer's day: $arquivo" grep -q '^60M' "$arquivo"

check "RFDTEMP/ is in the user's folder and holds the reading's files" test -n "$(ls "$mine/RFDTEMP")"
check "RFD/ is in the user's folder" test -d "$mine/RFD"
check "nothing is written beside the programs: $(ls "$bin" | grep -iv '^orvik-\|^tributarium')" \
  test -z "$(ls "$bin" | grep -iv '^orvik-\|^tributarium')"
log=$user/escritorio/LOG.DAT
named=$(LC_ALL=C grep -caF "Pasta de trabalho do usu"$'\xe1'"rio: $mine/" "$log" 2>/dev/null)
check "LOG.DAT names $mine/ once per start of the driver ($starts): ${named:-0}" test "${named:-0}" -eq "$starts"
exit $failed
