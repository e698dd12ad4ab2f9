#!/usr/bin/env bash
# The patch cycle as the player sees it, under a real X server: a missing local file stops
# start-up with one message; an installation two builds behind shows the update window and
# applies both patches, one launcher run per patch; a patch the host does not have shows
# message 14 twice and ends; closing the window during a download ends the launcher at once
# and the next run resumes the download.
source "$(dirname "$0")/lib.sh" "$1"
export NB_WEB_PANELS=0 NB_VD_QUIET=1
nb_start_xvfb

# Three builds of a game: 11 adds a large file, 12 changes a small one.
site="$NB_TMP/site"
nb_make_patch_chain "$site"

# ---- a local file is missing: the fixed text in the message dialog, nothing else ----
nb_start_standin "$site"
inst0="$NB_TMP/instbroken"
nb_make_install "$inst0" 10 1.0.10
rm "$inst0/nblocalstr.ini"
(cd "$inst0" && exec ./NbLauncher.exe > "$NB_TMP/run0.out" 2>&1 &)
w="$(nb_wait_window 303x176 "" 30 "$inst0")" || fail "no message for the missing file"
nb_key "$w" Escape
nb_wait_for "! nb_launcher_running '$inst0'" 10 || fail "Escape did not end the launcher"
[ ! -s "$NB_TMP/requests.log" ] || fail "the network was used although a local file is missing"
[ ! -e "$inst0/_NbLauncher.bin" ] || fail "relaunched although a local file is missing"
pass "missing local file: one message, Escape ends the launcher"
nb_stop_standin

# ---- two patches, one launcher run each ----
# The first patch is held half-way until the update window has been seen with its panels.
nb_start_standin "$site" --stall-after 100000 --fault-path /patch/NBRK11
inst="$NB_TMP/inst"
nb_make_install "$inst" 10 1.0.10
cp "$NB_TMP/game10/data.txt" "$inst/"
(cd "$inst" && exec ./NbLauncher.exe > "$NB_TMP/run1.out" 2>&1 &)
nb_wait_window 1000x692 "NorbelrokOnline 1" 30 "$inst" > /dev/null || fail "no update window: $(tail -3 "$inst/log1.txt"; cat "$NB_TMP/run1.out")"
nb_wait_for "nb_find_window 422x353 '' '$inst' > /dev/null && nb_find_window 160x389 '' '$inst' > /dev/null" 60 ||
  fail "the web panels are not shown: $(nb_window_list)"
nb_standin_stalled "$NB_PORTAL_HOST" || fail "the first patch is not held at its stall"
curl -s --noproxy '*' "http://$NB_PORTAL_HOST/_standin/fault?stall_after=-1" > /dev/null
pass "update window with its panels"
nb_wait_for "grep -q '^build=12' '$inst/nbnversion.vsn'" 90 || fail "not updated: $(cat "$inst/nbnversion.vsn")"
# The run that ends the chain is the one whose main window opens.
nb_close_main_window "$inst"
grep -q '^ver=1.0.12' "$inst/nbnversion.vsn" || fail "version text not rewritten"
[ "$(cat "$inst/data.txt")" = "build 12" ] || fail "data.txt not patched"
cmp -s "$inst/big.bin" "$NB_TMP/game12/big.bin" || fail "big.bin not extracted"
[ "$(nb_requests /patch/NBRK11.nbupd)" = 1 ] || fail "NBRK11 fetched $(nb_requests /patch/NBRK11.nbupd) times"
nb_expect_host /download/control.xml "$NB_PORTAL_HOST"
nb_expect_host /norbel_xml/zonelist.xml "$NB_CONFIG_HOST"
nb_expect_host /patch/NBRK11.nbupd "$NB_PORTAL_HOST"
[ "$(nb_requests /patch/NBRK12.nbupd)" = 1 ] || fail "NBRK12 fetched $(nb_requests /patch/NBRK12.nbupd) times"
[ "$(grep -c -- '-----LCS_OK-----' "$inst/log1.txt")" = 3 ] || fail "expected three launcher runs"
[ "$(grep -c 'cmd.m_strFileName.GetLength() = 0' "$inst/log1.txt")" = 3 ] ||
  fail "every run should start from the installed launcher and relaunch through the copy"
pass "two patches applied, build 12 installed"
nb_stop_standin

# ---- the host has no such patch: message 14, twice, then the end ----
: > "$NB_TMP/requests.log"
nb_start_standin "$site" --status /patch/NBRK11.nbupd=404
inst2="$NB_TMP/inst404"
nb_make_install "$inst2" 10 1.0.10
(cd "$inst2" && exec ./NbLauncher.exe > "$NB_TMP/run2.out" 2>&1 &)
first="$(nb_wait_window 303x176 "" 30 "$inst2")" || fail "no message dialog"
nb_find_window 1000x692 "NorbelrokOnline 1" "$inst2" > /dev/null || fail "the update window is not open under the message"
nb_click_in "$first" 148 135  # its OK button
nb_wait_gone "$first" || fail "OK did not close"
second="$(nb_wait_window 303x176 "" 10 "$inst2")" || fail "no second message"
[ "$second" != "$first" ] || fail "the same dialog"
nb_key "$second" Return
nb_wait_gone "$second" || fail "Enter did not close the second message"
nb_wait_launcher_end "$inst2" 20 || fail "the launcher did not end after the messages"
nb_expect_no_message
grep -q '^build=10' "$inst2/nbnversion.vsn" || fail "version file changed"
[ ! -e "$inst2/NBRK11.nbupd" ] || fail "an archive appeared"
[ -e "$inst2/NBRK11.nbupd.dlhalf!" ] && [ ! -s "$inst2/NBRK11.nbupd.dlhalf!" ] ||
  fail "the temporary file should be there and empty"
[ "$(nb_requests /patch/NBRK11.nbupd)" = 1 ] || fail "404 asked $(nb_requests /patch/NBRK11.nbupd) times"
pass "missing patch: message 14 twice, then the launcher ends"
nb_stop_standin

# ---- the player closes the window during the download; the next run resumes ----
: > "$NB_TMP/requests.log"
nb_start_standin "$site" --stall-after 150000 --fault-path /patch/NBRK11
inst3="$NB_TMP/instclose"
nb_make_install "$inst3" 10 1.0.10
(cd "$inst3" && exec ./NbLauncher.exe > "$NB_TMP/run3.out" 2>&1 &)
nb_wait_for "grep -q '^GET /patch/NBRK11.nbupd ' '$NB_TMP/requests.log'" 30 || fail "the download did not start"
# The body up to the stall has reached the launcher once the stand-in holds the rest and no
# byte waits in a socket. The writer buffers it (it reaches the file when the run ends), so
# nothing on disk shows it yet.
nb_wait_for "nb_standin_stalled '$NB_PORTAL_HOST' && nb_tcp_drained '${NB_PORTAL_HOST##*:}'" 30 ||
  fail "the body up to the stall did not reach the launcher"
w="$(nb_find_window 1000x692 "NorbelrokOnline 1" "$inst3")" || fail "no update window during the download"
nb_click_in "$w" 850 58  # close button
nb_wait_for "! nb_launcher_running '$inst3'" 15 || fail "the launcher hangs after the window closed"
held="$(stat -c %s "$inst3/NBRK11.nbupd.dlhalf!")"
[ "$held" -ge 100000 ] || fail "the partial download was lost ($held bytes)"
grep -q '^build=10' "$inst3/nbnversion.vsn" || fail "version file changed"
nb_stop_standin
: > "$NB_TMP/requests.log"
nb_start_standin "$site"
(cd "$inst3" && exec ./NbLauncher.exe > "$NB_TMP/run4.out" 2>&1 &)
nb_wait_for "grep -q '^build=12' '$inst3/nbnversion.vsn'" 90 || fail "not updated after the resume"
nb_close_main_window "$inst3"
grep -q "^Range: bytes=$held-" "$NB_TMP/requests.log" || fail "the download was not resumed at $held"
cmp -s "$inst3/big.bin" "$NB_TMP/game12/big.bin" || fail "resumed archive extracted wrongly"
pass "closing during the download ends the launcher; the next run resumes"
