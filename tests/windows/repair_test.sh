#!/usr/bin/env bash
# The repair under Wine: the Windows launcher with the tests' release key applies a signed
# patch from the Linux stand-in and keeps its manifest; started with --repair after a file
# was deleted and another damaged, it fetches only their members of the full archive with
# Range requests, checks them and puts them in place, then restarts. Its windows are on an X
# server of the test's own.
# Usage: repair_test.sh LINUX-BUILD WINDOWS-BUILD (Wine's environment set).
source "$(dirname "$0")/../e2e/lib.sh" "$1"
source "$NB_SRC/tests/windows/wine_lib.sh"
NB_WIN_BUILD="$(cd "${2:?Windows build folder}" && pwd)"
launcher="$NB_WIN_BUILD/NbLauncher-testkey.exe"
[ -f "$launcher" ] || fail "no Windows launcher with the test key: $launcher"
key="$NB_SRC/tests/data/trust/release-test.pem"
unset NB_MACHINE_SETTINGS
source "$NB_WIN_BUILD/nb-hosts.sh"
for host in "$NB_CONFIG_HOST" "$NB_PORTAL_HOST" "$NB_ACCOUNT_HOST"; do
  [[ "$host" =~ ^127\.0\.0\.1:[0-9]+$ ]] || fail "the Windows build's host $host is not on loopback"
done
NB_ZONE_LIST_URL="http://$NB_CONFIG_HOST/norbel_xml/zonelist.xml"
wine_launchers_running() { pgrep -f -- "$(basename "$NB_TMP").*NbLauncher" > /dev/null; }
# close_main_window: the run that finds the installation complete ends at its main window.
close_main_window() {
  local main
  main="$(nb_wait_window 1000x692 NorbelrokOnline 90)" || fail "no main window: $(nb_window_list)"
  nb_click_in "$main" 850 58
  nb_wait_for "! wine_launchers_running" 60 || fail "a launcher keeps running"
}
nb_wine_on_own_display

for b in 4 5; do
  mkdir -p "$NB_TMP/game$b/data"
  echo "build $b" > "$NB_TMP/game$b/data.txt"
  for m in 1 2 3; do head -c $((30000 * m)) /dev/urandom > "$NB_TMP/game$b/data/m$m.map"; done
done
head -c 400000 /dev/urandom > "$NB_TMP/game5/big.bin"
site="$NB_TMP/site"
nb_make_site "$site" 5 1.0.5
"$NB_BUILD/nb-mkpatch" -q --bfrom 4 --bto 5 --final-version 1.0.5 --sign "$key" --full \
  -o "$site/patch/NBRK5.nbupd" "$NB_TMP/game4" "$NB_TMP/game5"
nb_start_standin "$site"

inst="$NB_TMP/电信区 game"
nb_make_install "$inst" 4 1.0.4 "$launcher"
cp -r "$NB_TMP/game4/." "$inst/"
(cd "$inst" && exec wine ./NbLauncher.exe > "$NB_TMP/run1.out" 2>&1 &)
nb_wait_for "grep -q '^build=5' '$inst/nbnversion.vsn'" 90 || fail "the signed patch did not apply: $(tail -5 "$inst/log1.txt")"
close_main_window
cmp -s "$inst/nbinstalled.manifest" "$site/patch/NBRK5.nbupd.manifest" || fail "the applied build's manifest is not kept"
pass "the signed patch applies under Wine and its manifest is kept"

rm "$inst/data/m2.map"
printf 'X' | dd of="$inst/big.bin" bs=1 seek=200000 conv=notrunc status=none
: > "$NB_TMP/requests.log"
(cd "$inst" && exec wine ./NbLauncher.exe --repair > "$NB_TMP/run2.out" 2>&1 &)
nb_wait_for "grep -aq '^repair: 2 files restored' '$inst/log1.txt'" 120 ||
  fail "not repaired: $(grep -a '^repair' "$inst/log1.txt"; cat "$NB_TMP/run2.out")"
# Message 44, then the restarted launcher's main window.
box="$(nb_wait_window 303x176 "" 60)" || fail "no message after the repair: $(nb_window_list)"
nb_click_in "$box" 148 135
close_main_window
differs="$(LC_ALL=C diff -r -q "$NB_TMP/game5" "$inst" 2>&1 | grep -v "^Only in $inst" || true)"
[ -z "$differs" ] || fail "the installation is not build 5 again: $differs"
gets="$(nb_requests /patch/NBFULL5.nbupd)"
ranges="$(grep -aci '^Range: bytes=' "$NB_TMP/requests.log" || true)"
[ "$gets" -ge 2 ] && [ "$gets" = "$ranges" ] || fail "$gets requests of the full archive, $ranges with a Range"
pass "--repair under Wine restores a deleted and a damaged file with $gets Range requests"
