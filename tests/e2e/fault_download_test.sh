#!/usr/bin/env bash
# The patch download under faults, with the real launcher under a real X server: the
# launcher killed mid-transfer, a server that cuts (once, or every time until the retries
# run out), ignores the Range, stalls, answers 500 or 416, and a file that cannot grow (a
# file size limit on the launcher). Every run ends as the download rules say, the temporary file keeps what arrived and only that, and the
# archive that is finally applied is the published one, byte for byte.
source "$(dirname "$0")/lib.sh" "$1"
export NB_WEB_PANELS=0 NB_VD_QUIET=1
nb_start_xvfb

# Build 11 adds 3 MiB of data that does not compress, so the archive is about that size.
mkdir -p "$NB_TMP/game10" "$NB_TMP/game11"
echo "build 10" > "$NB_TMP/game10/data.txt"
echo "build 11" > "$NB_TMP/game11/data.txt"
head -c 3145728 /dev/urandom > "$NB_TMP/game11/big.bin"
site="$NB_TMP/site"
nb_make_site "$site" 11 1.0.11
"$NB_BUILD/nb-mkpatch" -q --bfrom 10 --bto 11 --final-version 1.0.11 -o "$site/patch/NBRK11.nbupd" \
  "$NB_TMP/game10" "$NB_TMP/game11"
published="$site/patch/NBRK11.nbupd"
size=$(stat -c %s "$published")
half=$((size / 2))

temp_size() { stat -c %s "$1/NBRK11.nbupd.dlhalf!" 2>/dev/null || echo 0; }

# A fresh installation at build 10 with numbered messages.
fresh() {
  nb_make_numbered_install "$NB_TMP/$1" 10 1.0.10
  cp "$NB_TMP/game10/data.txt" "$NB_TMP/$1/"
  echo "$NB_TMP/$1"
}

# The patch is applied and the launcher ends: the fresh launcher it restarts shows the main
# window (the build is current now), which is closed.
expect_patched() {
  local inst="$1"
  nb_wait_for "grep -q '^build=11' '$inst/nbnversion.vsn'" 60 || fail "not patched: $(tail -3 "$inst/log1.txt")"
  nb_close_main_window "$inst"
  [ "$(nb_sha256 "$inst/NBRK11.nbupd")" = "$(nb_sha256 "$published")" ] || fail "the applied archive differs"
  [ ! -e "$inst/NBRK11.nbupd.dlhalf!" ] || fail "a temporary file remains"
  cmp -s "$inst/big.bin" "$NB_TMP/game11/big.bin" || fail "big.bin not extracted"
  grep -q '^ver=1.0.11' "$inst/nbnversion.vsn" || fail "version text not rewritten"
}

# The download failed with exactly the messages given, and the launcher ended.
expect_failed_with() {
  local inst="$1"
  shift
  local n
  for n in "$@"; do nb_expect_message "$n" 90; done
  nb_wait_launcher_end "$inst" 20 || fail "the launcher did not end after message $*"
  nb_expect_no_message
  grep -q '^build=10' "$inst/nbnversion.vsn" || fail "version file changed"
  [ ! -e "$inst/NBRK11.nbupd" ] || fail "an archive appeared"
}

restart_standin() {
  nb_stop_standin
  : > "$NB_TMP/requests.log"
  nb_start_standin "$site" "$@"
}

# ---- killed with SIGKILL mid-transfer: the next run resumes from what the file holds ----
restart_standin --rate 1000000 --fault-path /patch/
inst=$(fresh killed)
nb_run_launcher "$inst" "$NB_TMP/killed1.out"
nb_wait_for "[ \$(temp_size '$inst') -ge 1048576 ]" 30 || fail "the download did not get going"
pids=$(nb_launcher_pids "$inst")
[ -n "$pids" ] || fail "no launcher process to kill"
kill -KILL $pids
nb_wait_launcher_end "$inst" 10 || fail "the killed launcher is still there"
held=$(temp_size "$inst")
[ "$held" -gt 0 ] && [ "$held" -lt "$size" ] || fail "temporary file of $held bytes after the kill"
cmp -s -n "$held" "$inst/NBRK11.nbupd.dlhalf!" "$published" || fail "the kept bytes are not the archive's first bytes"
grep -q "^Range:" "$NB_TMP/requests.log" && fail "the first request asked for a range"
restart_standin
nb_run_launcher "$inst" "$NB_TMP/killed2.out"
expect_patched "$inst"
grep -q "^Range: bytes=$held-"$'\r'"\$" "$NB_TMP/requests.log" || fail "no Range line for the $held bytes kept"
[ "$(nb_requests /patch/NBRK11.nbupd)" = 1 ] || fail "the resume asked $(nb_requests /patch/NBRK11.nbupd) times"
pass "killed mid-download: the next run resumes at byte $held; the archive is the published one"

# ---- the server cuts the connection at half, once: the same run resumes at the half ----
restart_standin --cut-after "$half" --fault-path /patch/ --fault-times 1
inst=$(fresh cut)
nb_run_launcher "$inst"
expect_patched "$inst"
grep -q "^Range: bytes=$half-"$'\r'"\$" "$NB_TMP/requests.log" || fail "the retry did not resume at byte $half"
[ "$(nb_requests /patch/NBRK11.nbupd)" = 2 ] || fail "the cut took $(nb_requests /patch/NBRK11.nbupd) requests, not 2"
grep -q "the connection broke after $half bytes; try 1 of 5" "$inst/log1.txt" || fail "the retry is not traced"
pass "cut at half once: resumed at byte $half in the same run, no message"

# ---- a server that cuts every transfer: five retries, then message 14; every byte kept ----
piece=100000
restart_standin --cut-after "$piece" --fault-path /patch/
inst=$(fresh cutevery)
nb_run_launcher "$inst"
expect_failed_with "$inst" 14
[ "$(temp_size "$inst")" = $((6 * piece)) ] || fail "six cut transfers kept $(temp_size "$inst") bytes, not $((6 * piece))"
cmp -s -n $((6 * piece)) "$inst/NBRK11.nbupd.dlhalf!" "$published" || fail "the kept bytes differ"
for n in 1 2 3 4 5; do
  grep -q "^Range: bytes=$((n * piece))-" "$NB_TMP/requests.log" || fail "retry $n did not resume at byte $((n * piece))"
done
pass "cut every time: five retries each resumed where the last broke, then message 14"

# ---- ... and the next server ignores the Range: the whole file again, from byte 0 ----
restart_standin --ignore-range
nb_run_launcher "$inst"
expect_patched "$inst"
grep -q "^Range: bytes=$((6 * piece))-" "$NB_TMP/requests.log" || fail "the resume asked for no range"
pass "a server ignoring the Range: the file taken again from its start, nothing appended twice"

# ---- an error status: message 14, the temporary file exactly as it was ----
restart_standin --status /patch/NBRK11.nbupd=500
inst=$(fresh status500)
head -c "$half" "$published" > "$inst/NBRK11.nbupd.dlhalf!"
cp "$inst/NBRK11.nbupd.dlhalf!" "$NB_TMP/half.copy"
nb_run_launcher "$inst"
expect_failed_with "$inst" 14
cmp -s "$inst/NBRK11.nbupd.dlhalf!" "$NB_TMP/half.copy" || fail "the 500 reply changed the temporary file"
pass "500: message 14, the temporary file untouched"

# ---- a temporary file that is already complete: 416 ends it without a body ----
restart_standin
inst=$(fresh complete)
cp "$published" "$inst/NBRK11.nbupd.dlhalf!"
nb_run_launcher "$inst"
expect_patched "$inst"
grep -q "^Range: bytes=$size-" "$NB_TMP/requests.log" || fail "no Range line for the whole length"
pass "416 for a complete temporary file: taken as complete and applied"

# ---- the file cannot grow (file size limit): message 32 then 14, then a resume ----
restart_standin
inst=$(fresh limited)
# The limit is on the relaunched copy, started as the installed launcher starts it: the
# installed launcher's own copy step writes a file larger than the limit.
cp "$inst/NbLauncher.exe" "$inst/_NbLauncher.bin"
(cd "$inst" && ulimit -f 1024 && exec ./_NbLauncher.bin "$NB_ZONE_LIST_URL" \
  > "$NB_TMP/limited.out" 2>&1 &)
expect_failed_with "$inst" 32 14
[ "$(temp_size "$inst")" = 1048576 ] || fail "the temporary file holds $(temp_size "$inst") bytes, not the 1 MiB written"
cmp -s -n 1048576 "$inst/NBRK11.nbupd.dlhalf!" "$published" || fail "the written bytes differ"
: > "$NB_TMP/requests.log"
nb_run_launcher "$inst"
expect_patched "$inst"
grep -q "^Range: bytes=1048576-" "$NB_TMP/requests.log" || fail "the next run did not resume"
pass "write failure: message 32 then 14, the bytes written kept, the next run resumes"

# ---- the server stalls once: after a minute without data the same run resumes ----
restart_standin --stall-after "$half" --fault-path /patch/ --fault-times 1
inst=$(fresh stalled)
nb_run_launcher "$inst"
nb_wait_for "grep -qs 'nothing arrived within the stall limit after $half bytes' '$inst/log1.txt'" 90 ||
  fail "the stall is not traced as a break at byte $half"
expect_patched "$inst"
grep -q "^Range: bytes=$half-" "$NB_TMP/requests.log" || fail "the retry after the stall did not resume at $half"
pass "a stalled server: resumed after the stall limit in the same run, no message"
