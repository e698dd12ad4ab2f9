#!/usr/bin/env bash
# The launcher killed with SIGKILL while it extracts a patch, under a real X server: every
# file is left whole, old or new, the version file still names the old build, and the next
# run applies the patch from the archive on disk without fetching it again.
source "$(dirname "$0")/lib.sh" "$1"
export NB_WEB_PANELS=0 NB_VD_QUIET=1
nb_start_xvfb

# Many small items first, then large ones that inflate at a few hundred MB/s: the kill lands
# while a large item is written, after the small ones have been replaced.
old="$NB_TMP/game10" new="$NB_TMP/game11"
mkdir -p "$old/a" "$new/a"
for i in $(seq 100 399); do
  echo "old $i" > "$old/a/$i.txt"
  echo "new $i" > "$new/a/$i.txt"
done
for i in 1 2 3 4 5; do
  head -c 6000000 /dev/urandom | base64 -w 100 > "$old/z$i.txt"
  head -c 6000000 /dev/urandom | base64 -w 100 > "$new/z$i.txt"
done
site="$NB_TMP/site"
nb_make_site "$site" 11 1.0.11
"$NB_BUILD/nb-mkpatch" -q --bfrom 10 --bto 11 --final-version 1.0.11 -o "$site/patch/NBRK11.nbupd" "$old" "$new"
nb_start_standin "$site"
inst="$NB_TMP/inst"
nb_make_install "$inst" 10 1.0.10
cp -r "$old/." "$inst/"
nb_run_launcher "$inst" "$NB_TMP/run1.out"

# The launcher that downloads is the one that extracts; the temporary file of the first large
# item is the sign that it is half-way. Watched without a pause: the extraction is quick.
nb_wait_for "grep -q '^GET /patch/NBRK11.nbupd ' '$NB_TMP/requests.log'" 60 || fail "the download did not start"
pids=$(nb_launcher_pids "$inst")
[ -n "$pids" ] || fail "no launcher process to kill"
deadline=$((SECONDS + 60))
until compgen -G "$inst/z*.nb~" > /dev/null; do
  [ "$SECONDS" -lt "$deadline" ] || fail "no large item was being written: $(tail -3 "$inst/log1.txt")"
done
kill -KILL $pids
nb_wait_launcher_end "$inst" 10 || fail "the killed launcher is still there"
grep -q '^build=10' "$inst/nbnversion.vsn" || fail "the kill came after the apply had ended"
[ "$(nb_requests /patch/NBRK11.nbupd)" = 1 ] || fail "the archive was fetched $(nb_requests /patch/NBRK11.nbupd) times"
replaced=0
for f in $(cd "$new" && find . -type f); do
  if cmp -s "$inst/$f" "$new/$f"; then
    replaced=$((replaced + 1))
  else
    cmp -s "$inst/$f" "$old/$f" || fail "$f is neither old nor new after the kill"
  fi
done
pass "killed during the extraction: $replaced of 305 items new, every file whole, build 10 recorded"

: > "$NB_TMP/requests.log"
nb_run_launcher "$inst" "$NB_TMP/run2.out"
nb_wait_for "grep -q '^build=11' '$inst/nbnversion.vsn'" 60 || fail "not patched: $(tail -3 "$inst/log1.txt")"
nb_close_main_window "$inst"
[ "$(nb_requests /patch/NBRK11.nbupd)" = 0 ] || fail "the archive on disk was fetched again"
for f in $(cd "$new" && find . -type f); do
  cmp -s "$inst/$f" "$new/$f" || fail "$f is not the new build's"
done
grep -q '^ver=1.0.11' "$inst/nbnversion.vsn" || fail "version text not rewritten"
[ -z "$(find "$inst" -name '*.nb~')" ] || fail "temporary items remain: $(find "$inst" -name '*.nb~')"
pass "the next run applied the archive on disk: every file new, build 11 recorded"
