#!/usr/bin/env bash
# Verify and repair end to end, with the launcher built with the tests' release key under a
# real X server: a signed patch leaves its manifest in the installation; a deleted file, a
# damaged one and a leftover temporary file are repaired from the full archive with Range
# requests only, both from the command line and from the server page's button; a disk that
# fills up during a repair loses nothing and the next repair recovers.
source "$(dirname "$0")/lib.sh" "$1"
export NB_WEB_PANELS=0 NB_VD_QUIET=1
launcher="$NB_BUILD/NbLauncher-testkey.exe"
[ -x "$launcher" ] || fail "no launcher with the test key: $launcher"
key="$NB_SRC/tests/data/trust/release-test.pem"
nb_start_xvfb

for b in 4 5; do
  mkdir -p "$NB_TMP/game$b/data/maps"
  echo "build $b" > "$NB_TMP/game$b/data.txt"
  for m in 1 2 3 4 5 6; do head -c $((20000 + m * 3000)) /dev/urandom > "$NB_TMP/game$b/data/maps/m$m.map"; done
done
head -c 600000 /dev/urandom > "$NB_TMP/game5/big.bin"
site="$NB_TMP/site"
nb_make_site "$site" 5 1.0.5
"$NB_BUILD/nb-mkpatch" -q --bfrom 4 --bto 5 --final-version 1.0.5 --sign "$key" --full \
  -o "$site/patch/NBRK5.nbupd" "$NB_TMP/game4" "$NB_TMP/game5"
[ -f "$site/patch/NBFULL5.nbupd" ] || fail "nb-mkpatch --full wrote no full archive"

inst="$NB_TMP/inst"
nb_make_numbered_install "$inst" 4 1.0.4 "$launcher"
# Messages 44 (done) and 45 (failed) read back as 30 and 31 squares: no other message comes
# up in a repair, and the dialog has room for 42 at most.
printf '1045=%s\r\n1046=%s\r\n' "$(for ((k = 0; k <= 30; k++)); do printf '\xA1\xF6'; done)" \
  "$(for ((k = 0; k <= 31; k++)); do printf '\xA1\xF6'; done)" >> "$inst/nblocalstr.ini"
cp -r "$NB_TMP/game4/." "$inst/"
nb_start_standin "$site"

# ---- the signed patch keeps its manifest in the installation ----
nb_run_launcher "$inst"
nb_wait_for "grep -q '^build=5' '$inst/nbnversion.vsn'" 90 || fail "the patch did not apply"
nb_close_main_window "$inst"
cmp -s "$inst/nbinstalled.manifest" "$site/patch/NBRK5.nbupd.manifest" ||
  fail "the installation does not keep the applied build's manifest"
pass "the applied build's signed manifest is kept in the installation"

same_as_build() { LC_ALL=C diff -r -q "$NB_TMP/game5" "$inst" 2>&1 | grep -v "^Only in $inst" || true; }
damage() {
  rm "$inst/data/maps/m3.map"
  printf 'X' | dd of="$inst/big.bin" bs=1 seek=300000 conv=notrunc status=none
  rm "$inst/data/maps/m5.map"
  echo "half" > "$inst/data/maps/m5.map.nb~"
}
# run_repair: NbLauncher.exe --repair, as support staff start it.
# run_repair KIB: the relaunched copy itself (the copying would hit the limit first), with
# every file it writes limited to KIB kilobytes.
run_repair() {
  NB_LAST_INSTALL="$inst"
  NB_LAST_OUTPUT="$NB_TMP/launcher.$((++NB_RUNS)).out"
  if [ -z "${1:-}" ]; then
    (cd "$inst" && exec ./NbLauncher.exe --repair > "$NB_LAST_OUTPUT" 2>&1 &)
  else
    (cd "$inst" && ulimit -f "$1" && exec ./_NbLauncher.bin "$NB_ZONE_LIST_URL" --repair > "$NB_LAST_OUTPUT" 2>&1 &)
  fi
}
ranged_only() {
  local gets ranges
  gets="$(nb_requests /patch/NBFULL5.nbupd)"
  ranges="$(grep -aci '^Range: bytes=' "$NB_TMP/requests.log" || true)"
  [ "$gets" -ge 2 ] && [ "$gets" -le 4 ] && [ "$gets" = "$ranges" ] ||
    fail "$1: $gets requests of the full archive, $ranges with a Range"
}

# ---- the command-line option ----
damage
: > "$NB_TMP/requests.log"
: > "$inst/log1.txt"
run_repair
nb_expect_message 30 120
nb_close_main_window "$inst"
[ -z "$(same_as_build)" ] || fail "not repaired: $(same_as_build)"
[ ! -e "$inst/data/maps/m5.map.nb~" ] || fail "the leftover temporary file is still there"
grep -aq 'repair: 3 of .* files of build 5 are missing or damaged' "$inst/log1.txt" || fail "the trace does not count 3"
ranged_only "--repair"
pass "--repair restores a deleted file, a damaged one and one behind a leftover temporary file, by ranges"

# ---- a disk that fills up: nothing lost, the next repair recovers ----
damage
cp "$inst/big.bin" "$NB_TMP/big.damaged"
: > "$inst/log1.txt"
run_repair 200
nb_expect_message 31 120
nb_wait_launcher_end "$inst" 20 || fail "the launcher did not end after message 45"
grep -aq 'repair failed: ' "$inst/log1.txt" || fail "the trace does not say why the repair failed"
cmp -s "$inst/big.bin" "$NB_TMP/big.damaged" || fail "big.bin was changed by the failed repair"
cmp -s "$inst/data.txt" "$NB_TMP/game5/data.txt" || fail "an intact file was lost"
[ -z "$(cd "$inst" && ls -A | grep -e '\.ranges$' -e '\.nb~$' -e '^NBFULL' || true)" ] || fail "leftovers: $(ls -A "$inst")"
pass "a full disk during the repair: message 45, nothing lost ($(grep -a 'repair failed: ' "$inst/log1.txt" | cut -c16-90))"

# ---- the server page's button ----
: > "$NB_TMP/requests.log"
nb_run_launcher "$inst"
w="$(nb_wait_window 1000x692 NorbelrokOnline 60 "$inst")" || fail "no main window; windows: $(nb_window_list)"
nb_click_in "$w" 716 650
nb_expect_message 30 120
nb_close_main_window "$inst"
[ -z "$(same_as_build)" ] || fail "not repaired from the button: $(same_as_build)"
ranged_only "the repair button"
pass "the server page's repair button restores the rest of the damage"
