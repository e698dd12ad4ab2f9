#!/usr/bin/env bash
# Start-up that cannot go on, as the player sees it under a real X server: a zone list that
# cannot be fetched shows the download's message 14 and then message 31, one that cannot be
# read message 31 alone, a launcher that cannot tell its own folder
# shows message 26; after the OK button the launcher ends, having opened no other window
# and written no version change.
source "$(dirname "$0")/lib.sh" "$1"
export NB_WEB_PANELS=0 NB_VD_QUIET=1
nb_start_xvfb

site="$NB_TMP/site"
nb_make_site "$site" 5 1.0.5

# expect_only_messages DIR N...: the messages N, one after the other, are the run's only
# windows; the OK of the last ends the launcher.
expect_only_messages() {
  local inst="$1" n
  shift
  for n in "$@"; do nb_expect_message "$n" 30; done
  nb_wait_launcher_end "$inst" 20 || fail "the launcher did not end after message $*"
  nb_expect_no_message
  [ -z "$(nb_find_window 1000x692)" ] || fail "a main window opened after message $*"
  grep -q '^build=5' "$inst/nbnversion.vsn" || fail "the version file changed"
}

# The relaunched copy with the zone list address, as the installed launcher starts it.
run_copy() {
  local inst="$1" url="$2"
  cp "$inst/NbLauncher.exe" "$inst/_NbLauncher.bin"
  (cd "$inst" && exec ./_NbLauncher.bin "$url" > "$inst/run.out" 2>&1 &)
}

# The control document lets the launcher run; only the zone list fails.
nb_start_standin "$site"

# ---- nothing answers at the zone list's address ----
inst="$NB_TMP/unreachable"
nb_make_numbered_install "$inst" 5 1.0.5
closed_port="$(nb_free_port)"
run_copy "$inst" "http://127.0.0.1:$closed_port/norbel_xml/zonelist.xml"
expect_only_messages "$inst" 14 31
grep -q -- '-----LCS_OK-----' "$inst/log1.txt" || fail "start-up did not reach the zone list"
pass "unreachable zone list: messages 14 and 31, then the end"

# ---- the zone list is there but is no zone list ----
cp "$NB_SRC/tests/data/zonelist/truncated.xml" "$site/norbel_xml/zonelist.xml"
inst="$NB_TMP/invalid"
nb_make_numbered_install "$inst" 5 1.0.5
run_copy "$inst" "$NB_ZONE_LIST_URL"
expect_only_messages "$inst" 31
[ "$(grep -c '^GET /norbel_xml/zonelist.xml ' "$NB_TMP/requests.log")" = 1 ] || fail "the zone list was not fetched once"
pass "unreadable zone list: message 31, then the end"
nb_stop_standin

# ---- the launcher cannot tell its own folder: its path is longer than the system returns ----
# No path argument may be that long either, so the folder is reached one step at a time.
deep="$NB_TMP/deep"
component="$(printf 'd%.0s' $(seq 1 200))"
in_deep() { cd "$deep" && for i in $(seq 1 22); do cd "$component"; done; }
mkdir -p "$deep"
(cd "$deep" && for i in $(seq 1 22); do mkdir "$component" && cd "$component"; done)
(in_deep && [ "${#PWD}" -gt 4096 ] && cp "$NB_BUILD/NbLauncher.exe" . &&
  printf '[VERSION]\r\nbuild=5\r\nver=1.0.5\r\n' > nbnversion.vsn && nb_numbered_strings nblocalstr.ini) ||
  fail "no installation in a folder of more than 4096 bytes"
# Started through env: the shell would hand the kernel the whole path.
(in_deep && exec env ./NbLauncher.exe > "$NB_TMP/deep.out" 2>&1 &)
nb_expect_message 26 30
nb_wait_for "! pgrep -f -- '^\./NbLauncher\.exe' > /dev/null" 20 || fail "the launcher did not end after message 26"
nb_expect_no_message
(in_deep && [ ! -e _NbLauncher.bin ] && ! grep -q -- '-----LCS_OK-----' log1.txt 2> /dev/null) ||
  fail "start-up went on without the launcher's folder"
pass "unknown launcher folder: message 26, then the end"
