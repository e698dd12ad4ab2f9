#!/usr/bin/env bash
# The patch apply and the relaunch under faults, with the real launcher under a real X
# server: an extraction that fails half-way, hostile archives, and a relaunch copy that
# cannot be written. Nothing lands outside the installation, a failed patch leaves the
# version file as it was, and the next run applies the patch once the obstacle is gone.
source "$(dirname "$0")/lib.sh" "$1"
export NB_WEB_PANELS=0 NB_VD_QUIET=1
nb_start_xvfb

# The patch to build $2 is applied and the launcher ends: the fresh launcher it restarts
# shows the main window (the build is current now), which is closed.
expect_patched() {
  local inst="$1" build="$2"
  nb_wait_for "grep -q '^build=$build' '$inst/nbnversion.vsn'" 60 || fail "not patched: $(tail -3 "$inst/log1.txt")"
  nb_close_main_window "$inst"
}

# ---- extraction fails half-way: a file stands where a folder must be made ----
mkdir -p "$NB_TMP/game10" "$NB_TMP/game11/maps/m1"
echo "build 10" > "$NB_TMP/game10/a.txt"
echo "build 11" > "$NB_TMP/game11/a.txt"
echo "map data" > "$NB_TMP/game11/maps/m1/x.dat"
echo "last" > "$NB_TMP/game11/z.txt"
site="$NB_TMP/site"
nb_make_site "$site" 11 1.0.11
"$NB_BUILD/nb-mkpatch" -q --bfrom 10 --bto 11 --final-version 1.0.11 -o "$site/patch/NBRK11.nbupd" \
  "$NB_TMP/game10" "$NB_TMP/game11"
nb_start_standin "$site"
inst="$NB_TMP/obstacle"
nb_make_numbered_install "$inst" 10 1.0.10
cp "$NB_TMP/game10/a.txt" "$inst/"
echo "in the way" > "$inst/maps"  # even root cannot make a folder where a file is
cp "$inst/nbnversion.vsn" "$NB_TMP/version.before"
nb_run_launcher "$inst"
nb_expect_message 25 60
nb_wait_launcher_end "$inst" 20 || fail "the launcher did not end after message 25"
nb_expect_no_message
cmp -s "$inst/nbnversion.vsn" "$NB_TMP/version.before" || fail "the version file changed"
[ "$(cat "$inst/maps")" = "in the way" ] || fail "the obstacle was overwritten"
[ ! -e "$inst/z.txt" ] || fail "items after the failed one were extracted"
rm "$inst/maps"
: > "$NB_TMP/requests.log"
nb_run_launcher "$inst"
expect_patched "$inst" 11
[ "$(nb_requests /patch/NBRK11.nbupd)" = 0 ] || fail "the archive on disk was fetched again"
[ "$(cat "$inst/maps/m1/x.dat")" = "map data" ] && [ "$(cat "$inst/z.txt")" = "last" ] &&
  [ "$(cat "$inst/a.txt")" = "build 11" ] || fail "the second run did not apply everything"
pass "extraction blocked half-way: message 25, version kept; applied once the obstacle is gone"
nb_stop_standin

# ---- hostile archives: nothing outside the installation, no link in it ----
hsite="$NB_TMP/hostile-site"
nb_make_site "$hsite" 2 1.0.2
nb_start_standin "$hsite"
base="$NB_TMP/hostile/outer/middle"
mkdir -p "$base"
probes=(/nb-robust-absolute-probe.txt /nb-robust-backslash-probe.txt /nb-robust-drive-probe.txt
        /tmp/through-abs-link.txt)
for p in "${probes[@]}"; do [ -e "$p" ] && fail "$p exists before the test"; done
for fixture in escape-names symlink-escape long-name corrupt-stream encrypted-item overlapping-entries; do
  cp "$NB_SRC/tests/data/malicious/$fixture.zip" "$hsite/patch/NBRK2.nbupd"
  inst="$base/$fixture"
  nb_make_numbered_install "$inst" 1 1.0.1
  cp "$inst/nbnversion.vsn" "$NB_TMP/version.before"
  nb_run_launcher "$inst"
  if [ "$fixture" = escape-names ]; then
    expect_patched "$inst" 2  # every name sanitised into the installation
    for f in up-one.txt up-two.txt up-three.txt up-four.txt up-five.txt nb-robust-absolute-probe.txt \
             server/share/unc.txt dot-up.txt; do
      [ -f "$inst/$f" ] || fail "$fixture: $f not extracted inside the installation"
    done
  else
    nb_expect_message 25 60
    nb_wait_launcher_end "$inst" 20 || fail "$fixture: the launcher did not end after message 25"
    cmp -s "$inst/nbnversion.vsn" "$NB_TMP/version.before" || fail "$fixture: the version file changed"
  fi
  [ -z "$(find "$inst" -type l)" ] || fail "$fixture: a link was made: $(find "$inst" -type l)"
  [ "$(ls -A "$base" | grep -vxF -f <(printf '%s\n' escape-names symlink-escape long-name corrupt-stream \
       encrypted-item overlapping-entries))" = "" ] || fail "$fixture: something was written beside the installations"
  [ "$(ls -A "$NB_TMP/hostile")" = outer ] && [ "$(ls -A "$NB_TMP/hostile/outer")" = middle ] ||
    fail "$fixture: something was written above the installation"
  for p in "${probes[@]}"; do [ -e "$p" ] && { rm -f "$p"; fail "$fixture: $p was written"; }; done
  pass "hostile archive $fixture: nothing outside the installation"
done
[ ! -e "$base/overlapping-entries/bbbb.bin" ] || fail "the second of two overlapping entries was extracted"
nb_stop_standin

# ---- the relaunch copy cannot be written: ten attempts, then message 27 ----
# On this platform a running program does not lock its file and the copy is written beside
# it and renamed into place, so a running copy cannot block it; a folder under the copy's
# name blocks it the way a held file does on the original platform, even for root.
: > "$NB_TMP/requests.log"
nb_start_standin "$site"
inst="$NB_TMP/held"
nb_make_numbered_install "$inst" 11 1.0.11
mkdir "$inst/_NbLauncher.bin"
start=$SECONDS
nb_run_launcher "$inst"
nb_expect_message 27 40
took=$((SECONDS - start))
nb_wait_launcher_end "$inst" 10 || fail "the launcher did not end after message 27"
[ "$took" -ge 9 ] || fail "message 27 after $took s: fewer than ten attempts a second apart"
[ -d "$inst/_NbLauncher.bin" ] || fail "the folder in the way was replaced"
[ "$(grep -c 'strPath = ' "$inst/log1.txt")" = 1 ] || fail "expected one copy step in the log"
grep -q -- '-----LCS_OK-----' "$inst/log1.txt" && fail "start-up went on after the failed copy"
[ "$(nb_requests /norbel_xml/zonelist.xml)" = 0 ] || fail "the zone list was fetched although the copy failed"
pass "relaunch copy blocked: message 27 after ten attempts, nothing started"
