#!/usr/bin/env bash
# Start-up that cannot go on, as the player sees it under a real X server: a zone list that
# cannot be fetched or read shows message 31, a launcher that cannot tell its own folder
# shows message 26; after the OK button the launcher ends, having opened no other window
# and written no version change.
source "$(dirname "$0")/lib.sh" "$1"
export NB_WEB_PANELS=0 NB_VD_QUIET=1
nb_start_xvfb

site="$NB_TMP/site"
nb_make_site "$site" 5 1.0.5

# expect_only_message DIR N: message N is the run's only window; OK ends the launcher.
expect_only_message() {
  local inst="$1" n="$2"
  nb_expect_message "$n" 30
  nb_wait_launcher_end "$inst" 20 || fail "the launcher did not end after message $n"
  nb_expect_no_message
  [ -z "$(nb_find_window 1000x692)" ] || fail "a main window opened after message $n"
  grep -q '^build=5' "$inst/nbnversion.vsn" || fail "the version file changed"
}

# The relaunched copy with the zone list address, as the installed launcher starts it.
run_copy() {
  local inst="$1" url="$2"
  cp "$inst/NbLauncher.exe" "$inst/_NbLauncher.bin"
  (cd "$inst" && exec ./_NbLauncher.bin "$url" > "$inst/run.out" 2>&1 &)
}

# ---- nothing answers at the zone list's address ----
inst="$NB_TMP/unreachable"
nb_make_numbered_install "$inst" 5 1.0.5
closed_port="$(nb_free_port)"
run_copy "$inst" "http://127.0.0.1:$closed_port/norbel_xml/zonelist.xml"
expect_only_message "$inst" 31
grep -q -- '-----LCS_OK-----' "$inst/log1.txt" || fail "start-up did not reach the zone list"
pass "unreachable zone list: message 31, then the end"

# ---- the zone list is there but is no zone list ----
cp "$NB_SRC/tests/data/zonelist/truncated.xml" "$site/norbel_xml/zonelist.xml"
nb_start_standin "$site"
inst="$NB_TMP/invalid"
nb_make_numbered_install "$inst" 5 1.0.5
run_copy "$inst" "$NB_ZONE_LIST_URL"
expect_only_message "$inst" 31
[ "$(grep -c '^GET /norbel_xml/zonelist.xml ' "$NB_TMP/requests.log")" = 1 ] || fail "the zone list was not fetched once"
pass "unreadable zone list: message 31, then the end"
nb_stop_standin

# ---- the launcher cannot tell its own folder: its path is longer than the system returns ----
deep="$NB_TMP/deep"
mkdir -p "$deep"
component="$(printf 'd%.0s' $(seq 1 200))"
(cd "$deep" && for i in $(seq 1 22); do mkdir "$component" && cd "$component"; done
 printf '%s' "$PWD" > "$NB_TMP/deep.path")
inst="$(cat "$NB_TMP/deep.path")"
[ "${#inst}" -gt 4096 ] || fail "the deep folder is only ${#inst} bytes long"
(cd "$inst" && cp "$NB_BUILD/NbLauncher.exe" . &&
  printf '[VERSION]\r\nbuild=5\r\nver=1.0.5\r\n' > nbnversion.vsn && nb_numbered_strings nblocalstr.ini)
(cd "$inst" && exec ./NbLauncher.exe > "$NB_TMP/deep.out" 2>&1 &)
nb_expect_message 26 30
nb_wait_for "! pgrep -f -- '^./NbLauncher.exe' > /dev/null" 20 || fail "the launcher did not end after message 26"
nb_expect_no_message
(cd "$inst" && [ ! -e _NbLauncher.bin ] && ! grep -q -- '-----LCS_OK-----' log1.txt 2> /dev/null) ||
  fail "start-up went on without the launcher's folder"
pass "unknown launcher folder: message 26, then the end"
