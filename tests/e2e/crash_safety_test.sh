#!/usr/bin/env bash
# A crash at any moment of an apply is harmless: the real launcher, under a real X server, is
# killed with SIGKILL at many points of applying a patch (before it begins, while small and
# large items are written, its own program file among them, during the flush and around the
# version file), started again after each kill, and checked: whenever the version file names
# the new build, every file of the installation equals the published build byte for byte,
# modes included; otherwise each file is whole, old or new; every round ends at the new
# build. A file-size limit (a full disk's stand-in) interrupting an apply is recovered alike.
#   NB_KILL_SEED=N   replays one sequence of kill points (the test prints the seed it used)
source "$(dirname "$0")/lib.sh" "$1"
export NB_WEB_PANELS=0 NB_VD_QUIET=1
nb_start_xvfb

seed="${NB_KILL_SEED:-$((RANDOM * 32768 + RANDOM))}"
echo "kill points from seed $seed (NB_KILL_SEED=$seed replays them)"
RANDOM=$seed
kills_wanted=20

# Build 10 and build 11: the launcher itself (a program that still runs with bytes appended),
# a script whose mode changes, a read-only file, 200 small files and three large ones.
old="$NB_TMP/game10" new="$NB_TMP/game11"
mkdir -p "$old/data" "$new/data" "$old/bin" "$new/bin"
cp "$NB_BUILD/NbLauncher.exe" "$old/NbLauncher.exe"
{ cat "$NB_BUILD/NbLauncher.exe"; echo "build 11"; } > "$new/NbLauncher.exe"
chmod 755 "$old/NbLauncher.exe" "$new/NbLauncher.exe"
printf '#!/bin/sh\necho 10\n' > "$old/bin/tool.sh" && chmod 644 "$old/bin/tool.sh"
printf '#!/bin/sh\necho 11\n' > "$new/bin/tool.sh" && chmod 755 "$new/bin/tool.sh"
echo "rules 10" > "$old/rules.dat" && chmod 444 "$old/rules.dat"
echo "rules 11" > "$new/rules.dat" && chmod 444 "$new/rules.dat"
for i in $(seq 100 299); do
  echo "old $i" > "$old/data/$i.txt"
  echo "new $i" > "$new/data/$i.txt"
done
for i in 1 2 3; do
  head -c 9000000 /dev/urandom | base64 -w 100 > "$old/large$i.txt"
  head -c 9000000 /dev/urandom | base64 -w 100 > "$new/large$i.txt"
done
site="$NB_TMP/site"
nb_make_site "$site" 11 1.0.11
"$NB_BUILD/nb-mkpatch" -q --bfrom 10 --bto 11 --final-version 1.0.11 -o "$site/patch/NBRK11.nbupd" "$old" "$new"
nb_start_standin "$site"
files="$(cd "$new" && find . -type f | sort)"
nfiles=$(echo "$files" | wc -l)
# sums NAME DIR: the hashes and modes of build DIR's files, as NAME.
sums() {
  (cd "$2" && sha256sum $files) > "$NB_TMP/$1.sums"
  (cd "$2" && stat -c '%a %n' $files) > "$NB_TMP/$1.modes"
}
sums old "$old"
sums new "$new"
ref=new  # the build the patch leads to

# state DIR: what the last kill left, as one word, against build $ref, and fails when the
# invariant does not hold. "new": build 11 recorded. Otherwise what the run started at the
# start mark was doing: "large" or "small" (writing a large item, or the launcher's own
# file or a small one: the temporary file it left, else the last file it put in place),
# "flushing" (it had put every item in place), "before" (it had put none).
state() {
  local dir="$1" sums modes placed writing
  sums="$(cd "$dir" && sha256sum $files 2> /dev/null)"
  modes="$(cd "$dir" && stat -c '%a %n' $files 2> /dev/null)"
  if grep -q '^build=11' "$dir/nbnversion.vsn"; then
    [ "$sums" = "$(cat "$NB_TMP/$ref.sums")" ] && [ "$modes" = "$(cat "$NB_TMP/$ref.modes")" ] ||
      fail "build 11 recorded but not on disk (seed $seed): $(diff <(echo "$sums") "$NB_TMP/$ref.sums" | head -3)"
    echo new
    return 0
  fi
  grep -q '^build=10' "$dir/nbnversion.vsn" || fail "the version file is damaged: $(cat "$dir/nbnversion.vsn")"
  [ "$(echo "$sums" | wc -l)" = "$nfiles" ] || fail "a file is missing (seed $seed)"
  # Each file whole: its hash is the old build's or the new build's.
  echo "$sums" | awk -v seed="$seed" 'FILENAME != "-" { want[$2] = want[$2] " " $1; next }
      { if (index(want[$2] " ", " " $1 " ") == 0) { print "torn: " $2 " (seed " seed ")"; bad = 1 } }
      END { exit bad }' "$NB_TMP/old.sums" "$NB_TMP/$ref.sums" - >&2 || fail "a file is neither old nor new"
  # A rename into place changes the file's status time (its write time is the archive's).
  writing="$(cd "$dir" && find . -name '*.nb~' -newer "$NB_TMP/start.mark")"
  placed="$(cd "$dir" && find . -type f -cnewer "$NB_TMP/start.mark" | grep -Fxf <(echo "$files") || true)"
  if [ -n "$writing" ]; then
    [[ "$writing" == *large* ]] && echo large || echo small
  elif [ -z "$placed" ]; then
    echo before
  elif [ "$(echo "$placed" | wc -l)" = "$nfiles" ]; then
    echo flushing
  else
    [[ "$placed" == *large* ]] && echo large || echo small
  fi
}

# kill_launcher DIR: SIGKILL to every launcher of DIR, again for one started meanwhile. A
# launcher killed just after it started its successor leaves that one behind, unseen for a
# moment while it becomes a program of its own: nothing is taken as gone until two looks a
# little apart both find nothing.
kill_launcher() {
  local pids quiet=0 deadline=$((SECONDS + 10))
  while [ "$quiet" -lt 2 ]; do
    pids="$(nb_launcher_pids "$1")"
    if [ -n "$pids" ]; then
      kill -KILL $pids 2> /dev/null || true
      quiet=0
    else
      quiet=$((quiet + 1))
    fi
    [ "$SECONDS" -lt "$deadline" ] || fail "the killed launcher is still there"
    sleep 0.1
  done
}

# close_main_window DIR: nb_close_main_window, telling on failure which launchers of DIR
# still run.
close_main_window() {
  local w
  w="$(nb_wait_window 1000x692 NorbelrokOnline 30 "$1")" || fail "no main window after the patch; windows: $(nb_window_list)"
  nb_click_in "$w" 850 58
  nb_wait_launcher_end "$1" 20 ||
    fail "the launcher did not end when its main window closed (seed $seed): windows: $(nb_window_list);" \
      "launchers: $(for p in $(nb_launcher_pids "$1"); do echo "$p: $(tr '\0' ' ' < "/proc/$p/cmdline")"; done)"
}

now_ms() { echo $(( ${EPOCHREALTIME/./} / 1000 )); }

# start_launcher DIR: starts the launcher of DIR, after the start mark.
start_launcher() {
  rm -f "$NB_TMP/start.mark"; : > "$NB_TMP/start.mark"
  nb_run_launcher "$1"
}

# start_and_wait_apply DIR: starts the launcher of DIR and returns the moment (ms) its apply
# began: the first item's temporary file, younger than the start mark (one a killed run left
# is older). Watched without a pause: the first item takes a few milliseconds.
start_and_wait_apply() {
  local dir="$1" deadline=$((SECONDS + 60))
  start_launcher "$dir"
  until [ "$dir/NbLauncher.exe.nb~" -nt "$NB_TMP/start.mark" ]; do
    [ "$SECONDS" -lt "$deadline" ] || fail "the apply did not begin: $(tail -3 "$dir/log1.txt")"
  done
  now_ms
}

# The template: build 10 with the archive already on disk, so every run goes to the apply.
template="$NB_TMP/template"
nb_make_numbered_install "$template" 10 1.0.10
cp -a "$old/." "$template/"
cp "$site/patch/NBRK11.nbupd" "$template/"
fresh_install() { rm -rf "$1"; cp -a "$template" "$1"; }

# wait_newer FILE: busy-waits (no pause: an item can take a few milliseconds) until FILE is
# younger than the start mark; prints that moment (ms).
wait_newer() {
  local deadline=$((SECONDS + 60))
  until [ "$1" -nt "$NB_TMP/start.mark" ]; do
    [ "$SECONDS" -lt "$deadline" ] || fail "$1 did not come (seed $seed): $(tail -3 "$inst/log1.txt")"
  done
  now_ms
}

# timed_apply DIR: a whole apply in DIR (at build 10) left to run to its end; prints how long
# the launcher took to reach the apply, the apply to reach the version file, and the last
# large item to reach it, in ms.
timed_apply() {
  local dir="$1" launched began last end
  launched=$(now_ms)
  began=$(start_and_wait_apply "$dir")
  last=$(wait_newer "$dir/large3.txt.nb~")
  end=$(wait_newer "$dir/nbnversion.vsn")
  echo "$(( began - launched + 1 )) $(( end - began + 1 )) $(( end - last + 1 ))"
}

# How long the launcher takes here from its start to the apply, and the apply to the version
# file, measured the way the kills are timed, so that the kill points spread over the whole
# apply on a fast or a loaded machine. Every round's last run measures the apply again.
# The second of two runs counts: the first one reads the archive from the disk.
inst="$NB_TMP/inst"
for run in 1 2; do
  fresh_install "$inst"
  timing=$(timed_apply "$inst")
  read -r startup_ms apply_ms tail_ms <<< "$timing"
  close_main_window "$inst"
  phase="$(state "$inst")"
  [ "$phase" = new ] || fail "an uninterrupted apply did not give build 11"
done
echo "the launcher reaches the apply in about $startup_ms ms and applies in about $apply_ms ms here," \
  "$tail_ms ms of it from the last large item on"

# Rounds of six kills on one installation, then a run to the end. The first kill of a round
# is seeded over the start-up before the apply, the second over the last large item, the
# flush and the version file, the others over the apply as it was measured (one that ends
# sooner takes some of them past the version file).
declare -A landed=([before]=0 [small]=0 [large]=0 [flushing]=0 [new]=0)
kills=0 rounds=0
while [ "$kills" -lt "$kills_wanted" ]; do
  rounds=$((rounds + 1))
  [ "$rounds" -le 20 ] || fail "only $kills kills hit an apply in 20 rounds (seed $seed)"
  fresh_install "$inst"
  for attempt in 1 2 3 4 5 6; do
    if [ "$attempt" = 1 ]; then
      start_launcher "$inst"
      delay_ms=$((RANDOM % startup_ms))
      sleep "$(printf '%d.%03d' $((delay_ms / 1000)) $((delay_ms % 1000)))"
    elif [ "$attempt" = 2 ]; then
      start_launcher "$inst"
      began=$(wait_newer "$inst/large3.txt.nb~")
      at=$(( began + (RANDOM * 32768 + RANDOM) % (tail_ms + tail_ms / 5) ))
      while (( ${EPOCHREALTIME/./} / 1000 < at )); do :; done
    else
      began=$(start_and_wait_apply "$inst")
      at=$(( began + (RANDOM * 32768 + RANDOM) % apply_ms ))
      while (( ${EPOCHREALTIME/./} / 1000 < at )); do :; done
    fi
    kill_launcher "$inst"
    phase="$(state "$inst")"
    landed[$phase]=$((landed[$phase] + 1))
    # Runs here get quicker than the measured ones as the files settle in the cache: a kill
    # past the phase it was meant for narrows that phase's span a little.
    if [ "$attempt" = 1 ] && [ "$phase" != before ]; then startup_ms=$((startup_ms * 9 / 10 + 1)); fi
    if [ "$attempt" -gt 2 ] && [ "$phase" = new ]; then apply_ms=$((apply_ms * 9 / 10 + 1)); fi
    if [ "$phase" = new ]; then
      # Started again, the launcher is at build 11 and shows the main window; then the next
      # kill falls into another apply from build 10.
      nb_run_launcher "$inst"
      close_main_window "$inst"
      fresh_install "$inst"
    else
      kills=$((kills + 1))
    fi
  done
  timing=$(timed_apply "$inst")
  read -r _ measured measured_tail <<< "$timing"
  apply_ms=$(( (apply_ms + measured) / 2 )) tail_ms=$(( (tail_ms + measured_tail) / 2 ))
  close_main_window "$inst"
  phase="$(state "$inst")"
  [ "$phase" = new ] || fail "the run after the kills did not end at build 11 (seed $seed)"
  [ -z "$(find "$inst" -name '*.nb~')" ] || fail "temporary items remain: $(find "$inst" -name '*.nb~')"
  echo "round $rounds: $kills kills before build 11 was recorded so far"
done
echo "kills landed: before the apply ${landed[before]}, during the small items ${landed[small]}," \
  "during the large items ${landed[large]}, after the last item (flush, version file) ${landed[flushing]}," \
  "after build 11 was recorded ${landed[new]}"
pass "$kills kills during an apply in $rounds rounds: build 11 recorded only when on disk; every round ends at build 11"

# ---- a full disk interrupts the apply: message 25, nothing lost, the next run applies ----
# A patch that keeps the launcher and brings a larger first large item: the file-size limit
# (1 KiB blocks) lets the launcher copy itself but stops that item half-way.
ref=disk
disk="$NB_TMP/game11-disk"
cp -a "$new/." "$disk/"
cp -p "$old/NbLauncher.exe" "$disk/NbLauncher.exe"
limit=$(( $(stat -c %s "$NB_BUILD/NbLauncher.exe") / 1024 + 2048 ))
head -c $(( (limit + 4096) * 768 )) /dev/urandom | base64 -w 100 > "$disk/large1.txt"
sums disk "$disk"
fresh_install "$inst"
"$NB_BUILD/nb-mkpatch" -q --bfrom 10 --bto 11 --final-version 1.0.11 -o "$inst/NBRK11.nbupd" "$old" "$disk"
(ulimit -f "$limit" && start_launcher "$inst")
nb_expect_message 25 60
nb_wait_launcher_end "$inst" 20 || fail "the launcher did not end after message 25"
phase="$(state "$inst")"
# The small items are in place, the large ones are the old build's, no half of one anywhere.
[ "$phase" = small ] && cmp -s "$inst/large1.txt" "$old/large1.txt" ||
  fail "the apply did not stop at the first large item: $phase"
[ -z "$(find "$inst" -name '*.nb~')" ] || fail "a half-written temporary item remains: $(find "$inst" -name '*.nb~')"
grep -q 'large1.txt.*File too large' "$inst/log1.txt" || fail "the write failure is not in the log: $(tail -3 "$inst/log1.txt")"
nb_run_launcher "$inst"
nb_wait_for "grep -q '^build=11' '$inst/nbnversion.vsn'" 60 || fail "not patched once there was room"
close_main_window "$inst"
phase="$(state "$inst")"
[ "$phase" = new ] || fail "the run after the full disk did not give build 11"
pass "a full disk interrupts the apply: message 25, the failure logged, build 10 kept; the next run applies"
