#!/usr/bin/env bash
# Builds the launcher in Release (build-bench/) and measures it against named baselines on
# this machine; prints one table: each figure, its baseline, the ratio and the goal.
#   bench/run.sh                      the full set (about 10 minutes)
#   NB_BENCH_ROUNDS=1 bench/run.sh    one round per figure instead of three
# Sizes: NB_BENCH_DOWNLOAD_MIB (512), NB_BENCH_PATCH_FILES (2000 items), NB_BENCH_PATCH_MIB (360
# uncompressed). Downloads land in NB_BENCH_DOWNLOAD_DIR (default: a folder in /dev/shm), so
# that the disk's write-back, which varies by seconds from one run to the next on a shared
# machine, does not drown the difference between the two clients.
# NB_BENCH_ONLY="compose startup" measures only those groups (download, apply, repair, compose,
# zonelist, startup). Rows whose code is not in the tree yet say "not measured" with the reason.
set -euo pipefail
source "$(dirname "$0")/../scripts/lib/common.sh"

ROUNDS="${NB_BENCH_ROUNDS:-3}"
DOWNLOAD_MIB="${NB_BENCH_DOWNLOAD_MIB:-512}"
PATCH_FILES="${NB_BENCH_PATCH_FILES:-2000}"
# Uncompressed data; the archive comes out at about 300 MiB.
PATCH_MIB="${NB_BENCH_PATCH_MIB:-360}"
BENCH_BUILD="${NB_BENCH_BUILD:-$NB_ROOT/build-bench}"
# The launcher's hosts are fixed at build time: the start-up row runs the stand-in there.
STARTUP_PORT="${NB_BENCH_STARTUP_PORT:-18697}"

nb_install_packages
nb_check_commands
echo "== building the launcher in Release into $BENCH_BUILD"
cmake -S "$NB_ROOT/bench" -B "$BENCH_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DNB_WITH_WEBENGINE=OFF \
  -DNB_CONFIG_HOST="127.0.0.1:$STARTUP_PORT" -DNB_PORTAL_HOST="127.0.0.1:$STARTUP_PORT" \
  -DNB_ACCOUNT_HOST="127.0.0.1:$STARTUP_PORT" >/dev/null
cmake --build "$BENCH_BUILD" -j"$(nproc)"
BIN="$BENCH_BUILD"
LAUNCHER_BIN="$BENCH_BUILD/launcher"
NB_STANDIN="$LAUNCHER_BIN/nb-standin"

WORK="$(mktemp -d /tmp/nbbench.XXXXXX)"
DL=""
cleanup() {
  [ -n "$DL" ] && rm -rf "$DL"
  nb_stop_nginx
  nb_end_standin
  rm -rf "$WORK"
}
trap cleanup EXIT
mkdir -p "$WORK/www" "$WORK/nginx"
# The launcher's code writes its trace log into the current folder.
cd "$WORK"
nb_start_nginx "$WORK/www" "$WORK/nginx"
BASE="http://127.0.0.1:$NB_NGINX_PORT"
echo "== nginx on 127.0.0.1:$NB_NGINX_PORT, work folder $WORK"

ROWS=()
wanted() { [ -z "${NB_BENCH_ONLY:-}" ] || [[ " $NB_BENCH_ONLY " == *" $1 "* ]]; }
# row WHAT FIGURE BASELINE RATIO GOAL VERDICT
row() { ROWS+=("$(printf '%s\t%s\t%s\t%s\t%s\t%s' "$@")"); }
not_measured() { row "$1" "not measured: $2" "-" "-" "$3" "-"; }
calc() { awk "BEGIN { printf \"$1\", $2 }"; }
median() { tr ' ' '\n' | grep -v '^$' | sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
verdict() { awk "BEGIN { print ($1) ? \"met\" : \"MISSED\" }"; }

# ---- download throughput and resume ----
if ! wanted download; then
  :
elif [ -x "$BIN/bench_download" ]; then
  echo "== download of $DOWNLOAD_MIB MiB: launcher and curl, $ROUNDS rounds each"
  head -c "$((DOWNLOAD_MIB * 1024 * 1024))" /dev/urandom > "$WORK/www/big.bin"
  size=$(stat -c %s "$WORK/www/big.bin")
  if [ -n "${NB_BENCH_DOWNLOAD_DIR:-}" ]; then
    DL="$NB_BENCH_DOWNLOAD_DIR/nbbench-dl.$$"
  elif [ -d /dev/shm ] && [ "$(df -Pk /dev/shm | awk 'NR == 2 { print $4 }')" -gt $((DOWNLOAD_MIB * 3 * 1024)) ]; then
    DL="/dev/shm/nbbench-dl.$$"
  else
    DL="$WORK/dl"
  fi
  mkdir -p "$DL"
  sha=$(sha256sum "$WORK/www/big.bin" | cut -d' ' -f1)
  ours=""; theirs=""; checked=""
  for r in $(seq 1 $((ROUNDS + 2))); do
    rm -f "$DL/"*
    t=$(curl -s -o "$DL/curl.bin" -w '%{time_total}' "$BASE/big.bin")
    theirs="$theirs $t"
    rm -f "$DL/"*
    t=$("$BIN/bench_download" "$BASE/big.bin" "$DL/big.bin" 2>/dev/null | awk '{ print $1 }')
    cmp -s "$WORK/www/big.bin" "$DL/big.bin" || { echo "download differs from the published file" >&2; exit 1; }
    ours="$ours $t"
    # The signed patch's download: SHA-256 over every block in the write callback.
    rm -f "$DL/"*
    t=$("$BIN/bench_download" "$BASE/big.bin" "$DL/big.bin" "$sha" "$size" 2>/dev/null | awk '{ print $1 }') ||
      { echo "the checked download failed its digest" >&2; exit 1; }
    checked="$checked $t"
  done
  ours=$(echo "$ours" | median); theirs=$(echo "$theirs" | median); checked=$(echo "$checked" | median)
  ours_rate=$(calc '%.0f' "$size / 1048576 / $ours"); curl_rate=$(calc '%.0f' "$size / 1048576 / $theirs")
  ratio=$(calc '%.3f' "$theirs / $ours")
  row "DownloadUrlToFile $DOWNLOAD_MIB MiB, loopback nginx, $((ROUNDS + 2)) rounds" "$ours_rate MiB/s" "curl -o: $curl_rate MiB/s" \
      "$ratio" ">= 0.95" "$(verdict "$ratio >= 0.95")"
  ratio=$(calc '%.3f' "$theirs / $checked")
  row "the same with the SHA-256 check of a signed patch" "$(calc '%.0f' "$size / 1048576 / $checked") MiB/s" \
      "curl -o: $curl_rate MiB/s" "$ratio" ">= 0.95" "$(verdict "$ratio >= 0.95")"

  echo "== resume after a cut at half (nb-standin cuts, nginx serves the rest)"
  rm -f "$DL/"*
  nb_spawn_standin "$WORK/standin.out" --root "$WORK/www" --cut-after "$((size / 2))"
  "$BIN/bench_download" "http://127.0.0.1:$NB_STANDIN_PORT/big.bin" "$DL/big.bin" >/dev/null 2>&1 || true
  nb_end_standin
  partial=$(stat -c %s "$DL/big.bin.dlhalf!" 2>/dev/null || echo 0)
  logged=$(wc -l < "$WORK/nginx/access.log")
  "$BIN/bench_download" "$BASE/big.bin" "$DL/big.bin" >/dev/null 2>&1 || { echo "resume failed" >&2; exit 1; }
  cmp -s "$WORK/www/big.bin" "$DL/big.bin" || { echo "resumed file differs from the published one" >&2; exit 1; }
  # Everything nginx sent for the resume: status line, headers and body.
  wire=$(tail -n +"$((logged + 1))" "$WORK/nginx/access.log" | awk '{ s += $(NF-1) } END { print s + 0 }')
  missing=$((size - partial))
  ratio=$(calc '%.5f' "$wire / $missing")
  row "resume after a cut at half ($partial bytes kept)" "$wire bytes on the wire" "$missing bytes missing" \
      "$ratio" "<= 1.01" "$(verdict "$missing > 0 && $ratio <= 1.01")"

  # The player's limit: the rate a limited download keeps, against the limit itself.
  limit_kbps=2048
  head -c $((8 * 1024 * 1024)) "$WORK/www/big.bin" > "$WORK/www/limited.bin"
  rm -f "$DL/"*
  t=$(NB_BENCH_LIMIT_KBPS=$limit_kbps "$BIN/bench_download" "$BASE/limited.bin" "$DL/limited.bin" 2>/dev/null |
    awk '{ print $1 }') || { echo "the limited download failed" >&2; exit 1; }
  cmp -s "$WORK/www/limited.bin" "$DL/limited.bin" || { echo "the limited download differs" >&2; exit 1; }
  rate=$(calc '%.0f' "8 * 1024 / $t")
  ratio=$(calc '%.3f' "$rate / $limit_kbps")
  row "8 MiB under a speed limit of $limit_kbps KiB/s" "$rate KiB/s" "limit: $limit_kbps KiB/s" "$ratio" \
      "0.9 .. 1.05" "$(verdict "$ratio >= 0.9 && $ratio <= 1.05")"
  rm -rf "$WORK/www/big.bin" "$WORK/www/limited.bin" "$DL"
else
  not_measured "DownloadUrlToFile 512 MiB" "the download is not in the tree" ">= 0.95 x curl"
  not_measured "resume after a cut at half" "the download is not in the tree" "<= missing + 1%"
fi

# ---- patch extraction ----
if ! wanted apply; then
  :
elif [ -x "$BIN/bench_apply" ] && [ -x "$LAUNCHER_BIN/nb-mkpatch" ]; then
  echo "== patch of $PATCH_FILES items, about $PATCH_MIB MiB: apply and unzip, $ROUNDS rounds each"
  # The control member makes the last item.
  "$BIN/bench_apply" --make-tree "$WORK/newbuild" "$((PATCH_FILES - 1))" "$PATCH_MIB"
  pubkey=$("$LAUNCHER_BIN/nb-mkpatch" keygen "$WORK/bench-release.pem")
  (cd "$WORK" && "$LAUNCHER_BIN/nb-mkpatch" -q --bfrom 41 --bto 42 --final-version 1.0.42 \
    --sign "$WORK/bench-release.pem" newbuild)
  archive="$WORK/NBRK42.nbupd"
  items=$(unzip -Z1 "$archive" | wc -l)
  archive_mib=$(calc '%.0f' "$(stat -c %s "$archive") / 1048576")
  ours=""; theirs=""; verified=""
  # apply_once [MANIFEST KEY]: one apply into a fresh installation; its time.
  apply_once() {
    rm -rf "$WORK/install"; mkdir -p "$WORK/install"; sync
    printf '[VERSION]\r\nbuild=41\r\nver=1.0.41\r\n' > "$WORK/install/nbnversion.vsn"
    ln "$archive" "$WORK/install/NBRK42.nbupd"
    "$BIN/bench_apply" --apply "$WORK/install" NBRK42.nbupd 41 "$@" 2>/dev/null || { echo "apply failed" >&2; exit 1; }
    grep -q '^build=42' "$WORK/install/nbnversion.vsn" || { echo "apply did not record the build" >&2; exit 1; }
  }
  for r in $(seq 1 "$ROUNDS"); do
    rm -rf "$WORK/unzip" "$WORK/install"; sync
    s=$(nb_now); unzip -o -q "$archive" -d "$WORK/unzip"; e=$(nb_now)
    theirs="$theirs $(calc '%.6f' "$e - $s")"
    rm -rf "$WORK/unzip"
    ours="$ours $(apply_once)"
    verified="$verified $(apply_once "$archive.manifest" "$pubkey")"
  done
  rm -rf "$WORK/install" "$WORK/newbuild"
  ours=$(echo "$ours" | median); theirs=$(echo "$theirs" | median); verified=$(echo "$verified" | median)
  ratio=$(calc '%.3f' "$ours / $theirs")
  row "ApplyPatch, $items items, $archive_mib MiB archive" "$(calc '%.2f' "$ours") s" "unzip -o -q: $(calc '%.2f' "$theirs") s" \
      "$ratio" "<= 1.0" "$(verdict "$ratio <= 1.0")"
  ratio=$(calc '%.3f' "$verified / $theirs")
  row "the same with every item checked against its signed manifest" "$(calc '%.2f' "$verified") s" \
      "unzip -o -q: $(calc '%.2f' "$theirs") s" "$ratio" "<= 1.0" "$(verdict "$ratio <= 1.0")"
else
  not_measured "ApplyPatch 2,000 items, 300 MiB" "the patch apply or nb-mkpatch is not in the tree" "<= 1.0 x unzip"
fi

# ---- verify and repair ----
if ! wanted repair; then
  :
elif [ -x "$BIN/bench_repair" ] && [ -x "$BIN/bench_apply" ] && [ -x "$LAUNCHER_BIN/nb-mkpatch" ]; then
  echo "== repair of 10 damaged files out of $PATCH_FILES, about $PATCH_MIB MiB: verify, Range fetch, $ROUNDS rounds"
  "$BIN/bench_apply" --make-tree "$WORK/build42" "$PATCH_FILES" "$PATCH_MIB"
  pubkey=$("$LAUNCHER_BIN/nb-mkpatch" keygen "$WORK/repair-release.pem")
  "$LAUNCHER_BIN/nb-mkpatch" -q --bfrom 41 --bto 42 --final-version 1.0.42 --sign "$WORK/repair-release.pem" \
    --full -o "$WORK/www/NBRK42.nbupd" "$WORK/build42"
  full="$WORK/www/NBFULL42.nbupd"
  full_mib=$(calc '%.0f' "$(stat -c %s "$full") / 1048576")
  rm -rf "$WORK/install"; cp -r "$WORK/build42" "$WORK/install"
  # Ten files picked by a fixed seed, whatever their size.
  (cd "$WORK/install" && find . -type f | sort | awk 'BEGIN { srand(42) } { print rand() "\t" $0 }' | sort -g |
    awk 'NR <= 10' | cut -f2) > "$WORK/damaged.list"
  damage() { while read -r f; do printf 'X' >> "$WORK/install/$f"; done < "$WORK/damaged.list"; }
  ours=""; theirs=""; verify=""; sums=""; fetched=0; stored=0
  for r in $(seq 1 "$ROUNDS"); do
    # Both read the same files from the page cache: the figure is the hashing and reading code.
    read -r t bytes n < <("$BIN/bench_repair" --verify "$WORK/install" "$WORK/www/NBRK42.nbupd.manifest" "$pubkey")
    verify="$verify $t"
    s=$(nb_now); (cd "$WORK/install" && find . -type f -exec sha256sum {} + > /dev/null); e=$(nb_now)
    sums="$sums $(calc '%.6f' "$e - $s")"
    damage
    read -r t fetched stored n < <("$BIN/bench_repair" --restore "$WORK/install" "$WORK/www/NBRK42.nbupd.manifest" \
      "$pubkey" "$BASE/NBFULL42.nbupd") || { echo "the repair failed" >&2; exit 1; }
    [ "$n" = 10 ] || { echo "the repair restored $n files, not 10" >&2; exit 1; }
    ours="$ours $t"
    rm -f "$WORK/refetch.nbupd"
    theirs="$theirs $(curl -s -o "$WORK/refetch.nbupd" -w '%{time_total}' "$BASE/NBFULL42.nbupd")"
  done
  rm -f "$WORK/refetch.nbupd"
  ours=$(echo "$ours" | median); theirs=$(echo "$theirs" | median)
  verify=$(echo "$verify" | median); sums=$(echo "$sums" | median)
  ratio=$(calc '%.3f' "$fetched / $stored")
  row "repair, 10 damaged of $PATCH_FILES files: bytes fetched" "$fetched B" "members stored: $stored B" \
      "$ratio" "<= 1.05" "$(verdict "$ratio <= 1.05")"
  ratio=$(calc '%.3f' "$ours / $theirs")
  row "the same: time of the Range repair" "$(calc '%.3f' "$ours") s" "curl -o of the $full_mib MiB full archive: $(calc '%.3f' "$theirs") s" \
      "$ratio" "-" "-"
  ours_rate=$(calc '%.0f' "$bytes / 1048576 / $verify"); sums_rate=$(calc '%.0f' "$bytes / 1048576 / $sums")
  ratio=$(calc '%.3f' "$sums / $verify")
  row "verification of $PATCH_FILES files, page cache" "$ours_rate MiB/s" "sha256sum: $sums_rate MiB/s" \
      "$ratio" ">= 0.9" "$(verdict "$ratio >= 0.9")"
  rm -rf "$WORK/install" "$WORK/build42" "$WORK/www/NBRK42.nbupd"* "$full"
else
  not_measured "repair, 10 damaged of 2,000 files" "the repair or nb-mkpatch is not in the tree" "<= 1.05 x members"
  not_measured "verification of 2,000 files" "the repair is not in the tree" ">= 0.9 x sha256sum"
fi

# ---- server page recomposition ----
if ! wanted compose; then
  :
elif [ -x "$BIN/bench_compose" ]; then
  echo "== server page recomposition (Google Benchmark)"
  QT_QPA_PLATFORM=offscreen "$BIN/bench_compose" --benchmark_repetitions=9 --benchmark_report_aggregates_only=true \
    --benchmark_format=csv 2>/dev/null > "$WORK/compose.csv"
  compose=$(awk -F, '/ServerPageRecomposition.*_median/ { print $3 }' "$WORK/compose.csv")
  copy=$(awk -F, '/ImageCopy.*_median/ { print $3 }' "$WORK/compose.csv")
  ratio=$(calc '%.1f' "$compose / $copy")
  row "server page recomposition, 15 + 3 servers" "$(calc '%.3f' "$compose / 1e6") ms" \
      "1000x692 image copy: $(calc '%.3f' "$copy / 1e6") ms" "$ratio" "<= 1 ms" "$(verdict "$compose <= 1e6")"
else
  not_measured "server page recomposition" "the main window is not in the tree" "<= 1 ms median"
fi

# ---- zone list ----
if ! wanted zonelist; then
  :
elif [ -x "$BIN/bench_zonelist" ]; then
  echo "== zone list of 1,000 / 10,000 / 100,000 servers"
  "$BIN/bench_zonelist" --write "$WORK/www" 1000 10000 100000
  mkdir -p "$WORK/zl"
  prev=""; first_stack=""
  for n in 1000 10000 100000; do
    read -r ms servers stack < <(cd "$WORK/zl" && "$BIN/bench_zonelist" "$BASE/zonelist-$n.xml" "$((ROUNDS * 3))" 2>/dev/null)
    [ "$servers" -eq "$n" ] || { echo "zone list of $n read $servers servers" >&2; exit 1; }
    if [ -z "$prev" ]; then
      row "LoadZoneList $n servers" "$ms ms, stack $stack B" "-" "-" "linear" "-"
      first_stack=$stack
    else
      ratio=$(calc '%.2f' "$ms / (10 * $prev)")
      goal="linear"; ok="$ratio <= 1.3"
      [ "$n" -eq 100000 ] && { goal="linear, <= 200 ms, stack flat"; ok="$ok && $ms <= 200 && $stack <= $first_stack + 4096"; }
      row "LoadZoneList $n servers" "$ms ms, stack $stack B" "10 x $prev ms; stack $first_stack B" "$ratio" "$goal" "$(verdict "$ok")"
    fi
    prev=$ms
  done
else
  not_measured "LoadZoneList 1,000 / 10,000 / 100,000" "the zone list is not in the tree" "linear; 100,000 <= 200 ms"
fi

# ---- start-up ----
startup_reason=""
[ -x "$LAUNCHER_BIN/NbLauncher.exe" ] || startup_reason="the launcher is not built"
grep -rqs NB_BENCH_FIRST_FRAME "$NB_ROOT/src/ui" || startup_reason="the main window does not announce its first frame yet"
command -v Xvfb >/dev/null || startup_reason="Xvfb is not installed"
if ! wanted startup; then
  :
elif [ -z "$startup_reason" ] && [ -x "$BIN/bench_startup" ]; then
  echo "== start-up to the main window's first frame (Xvfb, nb-standin, no web panels)"
  site="$WORK/site"; mkdir -p "$site"
  cp -r "$NB_ROOT/tools/nb-standin/demo-site/." "$site/"
  "$NB_STANDIN" --port "$STARTUP_PORT" --root "$site" > "$WORK/standin-startup.out" 2>&1 &
  NB_STANDIN_PID=$!
  nb_wait_listening "$WORK/standin-startup.out" || { echo "no stand-in on port $STARTUP_PORT" >&2; exit 1; }
  inst="$WORK/startup-install"
  mkdir -p "$inst"
  cp "$LAUNCHER_BIN/NbLauncher.exe" "$inst/"
  printf '[VERSION]\r\nbuild=%s\r\nver=1.0\r\n' "$(sed -n 's/.*build_code="\([0-9]*\)".*/\1/p' "$site/norbel_xml/zonelist.xml" | head -n 1)" > "$inst/nbnversion.vsn"
  iconv -f UTF-8 -t CP936 "$NB_ROOT/demo/nblocalstr.utf8.ini" > "$inst/nblocalstr.ini"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3> "$WORK/xvfb.display" >/dev/null 2>&1 &
  xvfb_pid=$!
  for i in $(seq 1 100); do [ -s "$WORK/xvfb.display" ] && break; sleep 0.1; done
  display=":$(tr -d '\n' < "$WORK/xvfb.display")"
  export NB_MACHINE_SETTINGS="$WORK/machine.ini"
  read -r ms kib < <(DISPLAY="$display" QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$WORK" \
    "$BIN/bench_startup" "$inst" "$((ROUNDS * 3))")
  kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true
  nb_end_standin
  row "start-up to the first frame (both processes)" "$ms ms" "-" "-" "<= 700 ms median" "$(verdict "$ms <= 700")"
  row "peak resident memory, no web panels" "$(calc '%.1f' "$kib / 1024") MB" "-" "-" "<= 80 MB" "$(verdict "$kib <= 80 * 1024")"
else
  not_measured "start-up to the first frame" "${startup_reason:-bench_startup is not built}" "<= 700 ms median"
  not_measured "peak resident memory, no web panels" "${startup_reason:-bench_startup is not built}" "<= 80 MB"
fi

echo
echo "== results ($(nproc) cores, $(awk -F: '/model name/ { print $2; exit }' /proc/cpuinfo | sed 's/^ *//'), $(date -u +%Y-%m-%d))"
{
  printf 'what\tfigure\tbaseline\tratio\tgoal\tverdict\n'
  printf '%s\n' "${ROWS[@]}"
} | column -t -s $'\t'
