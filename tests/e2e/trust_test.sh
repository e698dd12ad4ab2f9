#!/usr/bin/env bash
# Signed patches end to end, with the launcher built with the tests' release key under a real
# X server: every forgery, replay, damaged download and untrusted https server is refused
# with message 40 before anything of the patch reaches the installation (only a partial
# download may stay), the version file is kept, and the genuine signed chain, served over
# https with the tests' own authority, then applies.
source "$(dirname "$0")/lib.sh" "$1"
export NB_WEB_PANELS=0 NB_VD_QUIET=1
launcher="$NB_BUILD/NbLauncher-testkey.exe"
[ -x "$launcher" ] || fail "no launcher with the test key: $launcher"
key="$NB_SRC/tests/data/trust/release-test.pem"
certs="$NB_TMP/certs"
bash "$NB_SRC/tests/support/make-test-certs.sh" "$certs"
export NB_CA_BUNDLE="$certs/ca.pem"
nb_start_xvfb

# Builds 9 to 12 of a game; the genuine patches are signed, the others are what an attacker
# can make: an archive of his own, a manifest signed by his own key.
for b in 9 10 11 12 evil; do mkdir -p "$NB_TMP/game$b"; echo "build $b" > "$NB_TMP/game$b/data.txt"; done
head -c 300000 /dev/urandom > "$NB_TMP/game11/big.bin"
cp "$NB_TMP/game11/big.bin" "$NB_TMP/game12/big.bin"
mkpatch() { "$NB_BUILD/nb-mkpatch" -q --bfrom "$1" --bto "$2" --final-version "1.0.$2" -o "$3" "${@:4}"; }
mkdir -p "$NB_TMP/genuine" "$NB_TMP/other" "$NB_TMP/forged"
mkpatch 9 10 "$NB_TMP/genuine/NBRK10.nbupd" --sign "$key" "$NB_TMP/game9" "$NB_TMP/game10"
mkpatch 10 11 "$NB_TMP/genuine/NBRK11.nbupd" --sign "$key" "$NB_TMP/game10" "$NB_TMP/game11"
mkpatch 11 12 "$NB_TMP/genuine/NBRK12.nbupd" --sign "$key" "$NB_TMP/game11" "$NB_TMP/game12"
"$NB_BUILD/nb-mkpatch" keygen "$NB_TMP/other.pem" > /dev/null
mkpatch 10 11 "$NB_TMP/other/NBRK11.nbupd" --sign "$NB_TMP/other.pem" "$NB_TMP/game10" "$NB_TMP/gameevil"
mkpatch 10 11 "$NB_TMP/forged/NBRK11.nbupd" "$NB_TMP/game10" "$NB_TMP/gameevil"
"$NB_BUILD/nb-mkpatch" verify --key "$(cat "$NB_SRC/tests/data/trust/release-test.pub")" \
  "$NB_TMP/genuine/NBRK11.nbupd.manifest" "$NB_TMP/genuine/NBRK11.nbupd" > /dev/null ||
  fail "the genuine patch does not verify"

site="$NB_TMP/site"
nb_make_site "$site" 12 1.0.12
cp "$NB_TMP"/genuine/NBRK12.nbupd* "$site/patch/"
# publish ARCHIVE [MANIFEST]: what the server hands out as NBRK11 (no manifest when none).
publish() {
  cp "$1" "$site/patch/NBRK11.nbupd"
  rm -f "$site/patch/NBRK11.nbupd.manifest"
  [ -z "${2:-}" ] || cp "$2" "$site/patch/NBRK11.nbupd.manifest"
}
# update_from URL: the zone list's patch address.
update_from() { sed -i "s|<update_url>.*</update_url>|<update_url>$1</update_url>|" "$site/norbel_xml/zonelist.xml"; }

inst="$NB_TMP/inst"
nb_make_numbered_install "$inst" 10 1.0.10 "$launcher"
printf '1041=%s\r\n' "$(for ((k = 0; k <= 40; k++)); do printf '\xA1\xF6'; done)" >> "$inst/nblocalstr.ini"
cp "$NB_TMP/game10/data.txt" "$inst/"
cp "$inst/nbnversion.vsn" "$NB_TMP/version.before"
# The launcher's own files, the ones it fetches each run, the game's file and the partial download.
allowed="$(printf '%s\n' NbLauncher.exe _NbLauncher.bin nbnversion.vsn nblocalstr.ini log1.txt zonelist.xml LoginRes.xml data.txt \
  NBRK11.nbupd.dlhalf! | sort)"

# refused WHAT: one launcher run shows message 40 and ends, and the installation holds
# nothing of the patch.
refused() {
  : > "$inst/log1.txt"
  nb_run_launcher "$inst"
  nb_expect_message 40 60
  nb_wait_launcher_end "$inst" 20 || fail "$1: the launcher did not end after message 40"
  nb_expect_no_message
  cmp -s "$inst/nbnversion.vsn" "$NB_TMP/version.before" || fail "$1: the version file changed"
  [ "$(cat "$inst/data.txt")" = "build 10" ] || fail "$1: data.txt was replaced"
  extra="$(cd "$inst" && ls -A | sort | comm -23 - <(echo "$allowed"))"
  [ -z "$extra" ] || fail "$1: written into the installation: $extra"
  grep -aq 'patch not verified: ' "$inst/log1.txt" || fail "$1: the trace does not say why"
  pass "$1: message 40, nothing of the patch installed ($(grep -a 'patch not verified: ' "$inst/log1.txt" |
    head -1 | cut -c20-90)...)"
}

nb_start_standin "$site"
genuine="$NB_TMP/genuine/NBRK11.nbupd"
publish "$NB_TMP/forged/NBRK11.nbupd" "$genuine.manifest"
refused "forged archive with good checksums"
publish "$NB_TMP/other/NBRK11.nbupd" "$NB_TMP/other/NBRK11.nbupd.manifest"
refused "manifest signed by another key"
sed 's/^bto 11$/bto 19/' "$genuine.manifest" > "$NB_TMP/changed.manifest"
publish "$genuine" "$NB_TMP/changed.manifest"
refused "manifest with one byte changed"
publish "$NB_TMP/genuine/NBRK10.nbupd" "$NB_TMP/genuine/NBRK10.nbupd.manifest"
refused "older genuine patch served as the newer one"
publish "$genuine"
refused "manifest missing"
head -c -30 "$genuine.manifest" > "$NB_TMP/truncated.manifest"
publish "$genuine" "$NB_TMP/truncated.manifest"
refused "manifest truncated"
{ cat "$genuine"; printf 'more'; } > "$NB_TMP/longer.nbupd"
publish "$NB_TMP/longer.nbupd" "$genuine.manifest"
refused "archive longer than its manifest says"
head -c -1 "$genuine" > "$NB_TMP/shorter.nbupd"
publish "$NB_TMP/shorter.nbupd" "$genuine.manifest"
refused "archive shorter than its manifest says"
publish "$genuine" "$genuine.manifest"
head -c 2000 "$genuine" > "$inst/NBRK11.nbupd.dlhalf!"
printf '\x00' | dd of="$inst/NBRK11.nbupd.dlhalf!" bs=1 seek=1000 conv=notrunc status=none
refused "partial download changed before the resume"

# ---- https: only a server that proves its name to an authority the launcher trusts ----
# tls CERT [OPTION...]: the site over https with CERT on a free port, which the zone list names.
tls() {
  local cert="$1"
  shift
  "$NB_BUILD/nb-standin" --root "$site" --port 0 --cert "$certs/$cert.pem" --key "$certs/$cert.key" \
    --log "$NB_TMP/tls.log" "$@" > "$NB_TMP/tls.out" 2>&1 &
  tls_pid=$!
  NB_PIDS+=($tls_pid)
  nb_wait_for "grep -q 'listening on' '$NB_TMP/tls.out'" 10 || fail "https stand-in: $(cat "$NB_TMP/tls.out")"
  update_from "https://$(sed -n 's/^listening on //p' "$NB_TMP/tls.out")/patch/"
}
tls_stop() { kill "$tls_pid"; wait "$tls_pid" 2> /dev/null || true; }
for cert in othername expired selfsigned; do
  tls "$cert"
  refused "https server with a certificate that is $cert"
  tls_stop
done
tls good --redirect "/patch/NBRK11.nbupd.manifest=http://$NB_PORTAL_HOST/patch/NBRK11.nbupd.manifest"
refused "redirect from https to http"
tls_stop

# ---- the genuine signed chain over https: both patches, then the main window ----
: > "$NB_TMP/tls.log"
tls good
nb_run_launcher "$inst"
nb_wait_for "grep -q '^build=12' '$inst/nbnversion.vsn'" 90 || fail "the chain did not apply: $(tail -3 "$inst/log1.txt")"
nb_close_main_window "$inst"
grep -q '^ver=1.0.12' "$inst/nbnversion.vsn" || fail "version text not rewritten"
"$NB_BUILD/nb-mkpatch" verify --key "$(cat "$NB_SRC/tests/data/trust/release-test.pub")" \
  "$NB_TMP/genuine/NBRK12.nbupd.manifest" "$NB_TMP/genuine/NBRK12.nbupd" "$inst" > /dev/null ||
  fail "the installation is not the signed build 12"
[ "$(grep -c '^GET /patch/NBRK1[12].nbupd.manifest ' "$NB_TMP/tls.log")" = 2 ] || fail "the manifests were not fetched over https"
tls_stop
pass "the genuine signed chain applies over https"
