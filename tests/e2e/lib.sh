# Helpers for the end-to-end tests: each test gets a temporary installation folder and
# cleans up every process it started. Source it with the build folder as $1.

set -euo pipefail
NB_BUILD="$(cd "${1:?build folder}" && pwd)"
NB_SRC="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
NB_TMP="$(mktemp -d /tmp/nbe2e.XXXXXX)"
NB_PIDS=()
NB_RUNS=0
export NB_MACHINE_SETTINGS="$NB_TMP/machine.ini"
export XDG_RUNTIME_DIR="$NB_TMP/xdg"; mkdir -p "$XDG_RUNTIME_DIR"; chmod 700 "$XDG_RUNTIME_DIR"

nb_cleanup() {
  local pid
  for pid in "${NB_PIDS[@]:-}"; do [ -n "$pid" ] && kill "$pid" 2>/dev/null || true; done
  pkill -f "$NB_TMP/" 2>/dev/null || true
  # NB_KEEP_TMP=1 keeps the installations, logs and request logs of a run for a look.
  if [ "${NB_KEEP_TMP:-0}" = 1 ]; then echo "kept: $NB_TMP" >&2; else rm -rf "$NB_TMP"; fi
}
trap nb_cleanup EXIT

source "$NB_SRC/tests/e2e/x11.sh"

# A failure also tells what the launcher last did: the end of its trace log and its own
# output, and whether it still runs (a CI log is all there is to go on).
fail() {
  echo "FAIL: $*" >&2
  if [ -n "${NB_LAST_INSTALL:-}" ]; then
    echo "-- launcher of $NB_LAST_INSTALL: processes: $(nb_launcher_pids "$NB_LAST_INSTALL" | tr '\n' ' ')" >&2
    tail -n 15 "$NB_LAST_INSTALL/log1.txt" 2> /dev/null | sed 's/^/   log1.txt: /' >&2 || true
    tail -n 10 "$NB_LAST_OUTPUT" 2> /dev/null | sed 's/^/   output: /' >&2 || true
  fi
  exit 1
}
pass() { echo "ok: $*"; }

# nb_make_install DIR BUILD VERSION [LAUNCHER]: an installation with the launcher (this
# build's unless another is named) and the two local files.
nb_make_install() {
  local dir="$1" build="$2" ver="$3" launcher="${4:-$NB_BUILD/NbLauncher.exe}"
  mkdir -p "$dir"
  cp "$launcher" "$dir/NbLauncher.exe"
  printf '[VERSION]\r\nbuild=%s\r\nver=%s\r\n' "$build" "$ver" > "$dir/nbnversion.vsn"
  iconv -f UTF-8 -t CP936 "$NB_SRC/demo/nblocalstr.utf8.ini" > "$dir/nblocalstr.ini"
}

# nb_start_xvfb: an X server of our own on a display number it picks itself; sets DISPLAY.
# -noreset: by default the server resets when its last client leaves, and a client that
# connects during the reset is turned away (a launcher started right after the previous one
# ended would die with "could not connect to display").
nb_start_xvfb() {
  local fdfile="$NB_TMP/xvfb.display"
  : > "$fdfile"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3> "$fdfile" > "$NB_TMP/xvfb.log" 2>&1 &
  NB_PIDS+=($!)
  nb_wait_for "[ -s '$fdfile' ]" 15 || fail "Xvfb did not start: $(cat "$NB_TMP/xvfb.log")"
  export DISPLAY=":$(tr -d '\n' < "$fdfile")"
  export QT_QPA_PLATFORM=xcb
}

# The build's three hosts (NB_CONFIG_HOST, NB_PORTAL_HOST, NB_ACCOUNT_HOST), as CMake wrote
# them. The stand-ins play them on loopback, so each must be 127.0.0.1:PORT; a build for
# other hosts skips these tests.
source "$NB_BUILD/nb-hosts.sh"
for host in "$NB_CONFIG_HOST" "$NB_PORTAL_HOST" "$NB_ACCOUNT_HOST"; do
  if ! [[ "$host" =~ ^127\.0\.0\.1:[0-9]+$ ]]; then
    echo "skipped: the hosts of this build are not all on 127.0.0.1 with a port" \
      "($NB_CONFIG_HOST, $NB_PORTAL_HOST, $NB_ACCOUNT_HOST)"
    exit 77
  fi
done
unset host
NB_ZONE_LIST_URL="http://$NB_CONFIG_HOST/norbel_xml/zonelist.xml"

# nb_start_standin ROOT [OPTION...]: nb-standin serving ROOT at each of the build's hosts
# (one process per distinct port, all with the same options), every request appended to
# $NB_TMP/requests.log with its Host line. Sets NB_STANDIN_PORT (the configuration host's).
nb_start_standin() {
  local root="$1" port out
  shift
  NB_STANDIN_PIDS=()
  for port in $(printf '%s\n' "${NB_CONFIG_HOST##*:}" "${NB_PORTAL_HOST##*:}" "${NB_ACCOUNT_HOST##*:}" | sort -u); do
    # A second server on the port would not fail to start, so wait until nobody is there.
    nb_wait_for "! (exec 3<> /dev/tcp/127.0.0.1/$port) 2> /dev/null" 180 || fail "port $port stays in use"
    out="$NB_TMP/standin.$port.out"
    : > "$out"
    "$NB_BUILD/nb-standin" --root "$root" --port "$port" --log "$NB_TMP/requests.log" "$@" > "$out" 2>&1 &
    NB_STANDIN_PIDS+=($!)
    NB_PIDS+=($!)
    nb_wait_for "grep -q 'listening on' '$out'" 10 || fail "nb-standin: $(cat "$out")"
  done
  NB_STANDIN_PORT="${NB_CONFIG_HOST##*:}"
}

nb_stop_standin() {
  local pid
  for pid in "${NB_STANDIN_PIDS[@]:-}"; do
    [ -n "$pid" ] || continue
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  NB_STANDIN_PIDS=()
}

# nb_request_host PATH: the Host line of the first logged request for PATH.
nb_request_host() {
  awk -v want="GET $1" 'index($0, want) == 1 { found = 1; next }
    found && tolower($0) ~ /^host: / { sub(/^[^:]*: */, ""); sub(/\r$/, ""); print; exit }' "$NB_TMP/requests.log"
}

# nb_expect_host PATH HOST: the request for PATH went to HOST (the role the path belongs to).
# A request made in the background (a page a panel loads) gets time to arrive.
nb_expect_host() {
  local got
  nb_wait_for "[ -n \"\$(nb_request_host '$1')\" ]" 30 || fail "$1 was never asked for"
  got="$(nb_request_host "$1")"
  [ "$got" = "$2" ] || fail "$1 was asked of host '$got', not $2"
}

# nb_requests PATH: how many times PATH was asked for (GET) since the log was last emptied.
nb_requests() { grep -c "^GET $1 " "$NB_TMP/requests.log" || true; }

# nb_standin_stalled HOST: the stand-in at HOST holds a reply body at its stall point.
nb_standin_stalled() {
  curl -s --noproxy '*' "http://$1/_standin/status" | grep -q '^stalled=[1-9]'
}

# nb_tcp_drained PORT: no established loopback connection to or from PORT has bytes waiting
# in a socket (all that one end sent, the other has read).
nb_tcp_drained() {
  awk -v port=":$(printf '%04X' "$1")" 'NR > 1 && $4 == "01" &&
      (substr($2, length($2) - 4) == port || substr($3, length($3) - 4) == port) &&
      $5 != "00000000:00000000" { busy = 1 }
    END { exit busy }' /proc/net/tcp
}

# nb_free_port: a loopback port where nothing listens.
nb_free_port() {
  local port
  while :; do
    port=$((20000 + RANDOM % 40000))
    (exec 3<> "/dev/tcp/127.0.0.1/$port") 2> /dev/null || { echo "$port"; return 0; }
  done
}

# nb_make_site DIR BUILD VERSION: a site with a zone list publishing BUILD/VERSION (patches
# under DIR/patch/), a control document that lets the launcher run, and the launcher pages.
nb_make_site() {
  local dir="$1" build="$2" ver="$3"
  mkdir -p "$dir/norbel_xml" "$dir/download" "$dir/patch"
  sed -e "s/build_code=\"[0-9]*\"/build_code=\"$build\"/" -e "s/version=\"[0-9.]*\"\\/>/version=\"$ver\"\\/>/" \
    -e "s|http://127.0.0.1:18620/patch/|http://$NB_PORTAL_HOST/patch/|" \
    "$NB_SRC/tools/nb-standin/demo-site/norbel_xml/zonelist.xml" > "$dir/norbel_xml/zonelist.xml"
  cp "$NB_SRC/tools/nb-standin/demo-site/download/control.xml" "$dir/download/control.xml"
  cp "$NB_SRC/tools/nb-standin/demo-site/"*.html "$dir/"
}

# nb_make_patch_chain SITE [MKPATCH-OPTION...]: games of builds 10, 11 (a large file added)
# and 12 (a small one changed) under $NB_TMP/game<n>, a site publishing build 12, and the
# patches 10→11 and 11→12 (made with the options given, e.g. --sign KEYFILE).
nb_make_patch_chain() {
  local site="$1" b
  shift
  for b in 10 11 12; do mkdir -p "$NB_TMP/game$b"; echo "build $b" > "$NB_TMP/game$b/data.txt"; done
  head -c 400000 /dev/urandom > "$NB_TMP/game11/big.bin"
  cp "$NB_TMP/game11/big.bin" "$NB_TMP/game12/big.bin"
  nb_make_site "$site" 12 1.0.12
  "$NB_BUILD/nb-mkpatch" -q --bfrom 10 --bto 11 --final-version 1.0.11 "$@" -o "$site/patch/NBRK11.nbupd" \
    "$NB_TMP/game10" "$NB_TMP/game11"
  "$NB_BUILD/nb-mkpatch" -q --bfrom 11 --bto 12 --final-version 1.0.12 "$@" -o "$site/patch/NBRK12.nbupd" \
    "$NB_TMP/game11" "$NB_TMP/game12"
}

# ---- numbered messages ----

# nb_numbered_strings FILE: a strings file in which message n reads as n + 1 filled squares
# ("■"), so that the number a message dialog shows can be read back from its pixels (message
# 0 included).
nb_numbered_strings() {
  local n k
  {
    printf '[local_setting]\r\nlocal_str=Numbered\r\n[Numbered]\r\n'
    for n in $(seq 0 39); do
      printf '%d=' $((1001 + n))
      for ((k = 0; k <= n; k++)); do printf '\xA1\xF6'; done
      printf '\r\n'
    done
  } > "$1"
}

# nb_message_number WINDOW: the number of the message the dialog WINDOW shows under
# nb_numbered_strings, -1 while it shows none. The dialog draws character i at
# (60 + 16 (i mod 14), 55 + 15 (i div 14)); a square fills about 49 pixels of its cell in
# the text colour (2, 157, 255).
nb_message_number() {
  # Only the text area is converted: the whole window as text is slow on a loaded machine.
  xwd -id "$1" -silent 2>/dev/null | convert xwd:- -crop 224x45+60+55 +repage txt:- 2>/dev/null |
    sed -n 's/^\([0-9]*\),\([0-9]*\): *(\([0-9.]*\),\([0-9.]*\),\([0-9.]*\).*/\1 \2 \3 \4 \5/p' |
    awk '$5 > 200 && $3 < 100 && $4 > 100 { ink[int($1 / 16) + 14 * int($2 / 15)]++ }
         END { n = 0; for (i = 0; i < 42; i++) if (ink[i] >= 30) n++; print n - 1 }'
}

# nb_expect_message N [SECONDS]: waits for a message dialog, checks that it shows message N
# and closes it with its OK button. The dialog paints after it maps, so its text is read
# until it shows N or a deadline passes; the last reading is reported.
nb_expect_message() {
  local want="$1" limit="${2:-30}" w got=-1 deadline
  w="$(nb_wait_window 303x176 "" "$limit")" || fail "message $want never came; windows: $(nb_window_list)"
  deadline=$((SECONDS + 30))
  while :; do
    got="$(nb_message_number "$w")"
    [ "$got" = "$want" ] || [ "$SECONDS" -ge "$deadline" ] && break
    sleep 0.2
  done
  [ "$got" = "$want" ] || fail "message $got shown where message $want was due"
  nb_click_in "$w" 148 135 || fail "the OK button of message $want could not be clicked"
  nb_wait_gone "$w" 20 || fail "message $want did not close; windows: $(nb_window_list); got $(nb_message_number "$w")"
}

# nb_expect_no_message: no message dialog is open. Call it after a sync point that rules out
# a late one (the launcher has ended, or a later step of the same run has been seen).
nb_expect_no_message() {
  local w
  if w="$(nb_find_window 303x176)"; then fail "an unexpected message $(nb_message_number "$w")"; fi
}

# nb_make_numbered_install DIR BUILD VERSION: as nb_make_install, with numbered messages.
nb_make_numbered_install() {
  nb_make_install "$@"
  nb_numbered_strings "$1/nblocalstr.ini"
}

# nb_run_launcher DIR [LOG]: starts the installed launcher of DIR in the background, as the
# player does (no argument).
nb_run_launcher() {
  NB_LAST_INSTALL="$1"
  NB_LAST_OUTPUT="${2:-$NB_TMP/launcher.$((++NB_RUNS)).out}"
  (cd "$1" && exec ./NbLauncher.exe > "$NB_LAST_OUTPUT" 2>&1 &)
}

# nb_wait_launcher_end DIR [SECONDS]: waits until no launcher of DIR runs any more.
nb_wait_launcher_end() {
  nb_wait_for "! nb_launcher_running '$1'" "${2:-30}"
}

# nb_close_main_window DIR: waits for the main window of the launcher of DIR, closes it with
# its close button and waits for that launcher to end. Between the end of one launcher run
# and the start of the next no launcher process runs, so only the window tells that the run
# which ends the chain has come.
nb_close_main_window() {
  local w
  w="$(nb_wait_window 1000x692 NorbelrokOnline 30 "$1")" ||
    fail "no main window after the patch; windows: $(nb_window_list)"
  nb_click_in "$w" 850 58
  nb_wait_launcher_end "$1" 20 || fail "the launcher did not end when its main window closed"
}

# nb_sha256 FILE
nb_sha256() { sha256sum "$1" | cut -d' ' -f1; }
