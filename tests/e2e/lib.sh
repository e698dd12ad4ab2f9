# Helpers for the end-to-end tests: each test gets a temporary installation folder and
# cleans up every process it started. Source it with the build folder as $1.

set -euo pipefail
NB_BUILD="$(cd "${1:?build folder}" && pwd)"
NB_SRC="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
NB_TMP="$(mktemp -d /tmp/nbe2e.XXXXXX)"
NB_PIDS=()
export NB_MACHINE_SETTINGS="$NB_TMP/machine.ini"
export XDG_RUNTIME_DIR="$NB_TMP/xdg"; mkdir -p "$XDG_RUNTIME_DIR"; chmod 700 "$XDG_RUNTIME_DIR"

nb_cleanup() {
  local pid
  for pid in "${NB_PIDS[@]:-}"; do [ -n "$pid" ] && kill "$pid" 2>/dev/null || true; done
  pkill -f "$NB_TMP/" 2>/dev/null || true
  rm -rf "$NB_TMP"
}
trap nb_cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
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

# nb_wait_for CONDITION [SECONDS]: polls a shell condition.
nb_wait_for() {
  local cond="$1" limit="${2:-10}" i
  for ((i = 0; i < limit * 20; i++)); do
    if eval "$cond"; then return 0; fi
    sleep 0.05
  done
  return 1
}

# nb_start_xvfb: an X server of our own on a display number it picks itself; sets DISPLAY.
nb_start_xvfb() {
  local fdfile="$NB_TMP/xvfb.display"
  : > "$fdfile"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3> "$fdfile" > "$NB_TMP/xvfb.log" 2>&1 &
  NB_PIDS+=($!)
  nb_wait_for "[ -s '$fdfile' ]" 15 || fail "Xvfb did not start: $(cat "$NB_TMP/xvfb.log")"
  export DISPLAY=":$(tr -d '\n' < "$fdfile")"
  export QT_QPA_PLATFORM=xcb
}

# nb_start_standin ROOT [OPTION...]: nb-standin on 127.0.0.1:18620 (or $NB_STANDIN_PORT) serving ROOT, every
# request logged to $NB_TMP/requests.log; sets NB_STANDIN_PID.
nb_start_standin() {
  local root="$1"
  shift
  # A second server on the port would not fail to start, so wait until nobody is there.
  local port="${NB_STANDIN_PORT:-18620}"
  nb_wait_for "! (exec 3<> /dev/tcp/127.0.0.1/$port) 2> /dev/null" 180 || fail "port $port stays in use"
  : > "$NB_TMP/standin.out"
  "$NB_BUILD/nb-standin" --root "$root" --port "$port" --log "$NB_TMP/requests.log" "$@" \
    > "$NB_TMP/standin.out" 2>&1 &
  NB_STANDIN_PID=$!
  NB_PIDS+=($NB_STANDIN_PID)
  nb_wait_for "grep -q 'listening on' '$NB_TMP/standin.out'" 10 || fail "nb-standin: $(cat "$NB_TMP/standin.out")"
}

nb_stop_standin() {
  [ -n "${NB_STANDIN_PID:-}" ] || return 0
  kill "$NB_STANDIN_PID" 2>/dev/null || true
  wait "$NB_STANDIN_PID" 2>/dev/null || true
  NB_STANDIN_PID=
}

# nb_make_site DIR BUILD VERSION: a site with a zone list publishing BUILD/VERSION (patches
# under DIR/patch/), a control document that lets the launcher run, and the launcher pages.
nb_make_site() {
  local dir="$1" build="$2" ver="$3"
  mkdir -p "$dir/norbel_xml" "$dir/download" "$dir/patch"
  sed -e "s/build_code=\"[0-9]*\"/build_code=\"$build\"/" -e "s/version=\"[0-9.]*\"\\/>/version=\"$ver\"\\/>/" \
    "$NB_SRC/tools/nb-standin/demo-site/norbel_xml/zonelist.xml" > "$dir/norbel_xml/zonelist.xml"
  cp "$NB_SRC/tools/nb-standin/demo-site/download/control.xml" "$dir/download/control.xml"
  cp "$NB_SRC/tools/nb-standin/demo-site/"*.html "$dir/"
}

# nb_make_patch_chain SITE: games of builds 10, 11 (a large file added) and 12 (a small one
# changed) under $NB_TMP/game<n>, a site publishing build 12, and the patches 10→11 and 11→12.
nb_make_patch_chain() {
  local site="$1" b
  for b in 10 11 12; do mkdir -p "$NB_TMP/game$b"; echo "build $b" > "$NB_TMP/game$b/data.txt"; done
  head -c 400000 /dev/urandom > "$NB_TMP/game11/big.bin"
  cp "$NB_TMP/game11/big.bin" "$NB_TMP/game12/big.bin"
  nb_make_site "$site" 12 1.0.12
  "$NB_BUILD/nb-mkpatch" -q --bfrom 10 --bto 11 --final-version 1.0.11 -o "$site/patch/NBRK11.nbupd" \
    "$NB_TMP/game10" "$NB_TMP/game11"
  "$NB_BUILD/nb-mkpatch" -q --bfrom 11 --bto 12 --final-version 1.0.12 -o "$site/patch/NBRK12.nbupd" \
    "$NB_TMP/game11" "$NB_TMP/game12"
}

# nb_launcher_pids DIR: the launcher processes running from installation DIR.
nb_launcher_pids() {
  local pid exe
  for pid in $(pgrep -f -- "_NbLauncher.bin|NbLauncher.exe" || true); do
    exe="$(readlink "/proc/$pid/cwd" 2>/dev/null || true)"
    [ "$exe" = "$1" ] && echo "$pid"
  done
  return 0
}
nb_launcher_running() { [ -n "$(nb_launcher_pids "$1")" ]; }

# nb_find_window WIDTHxHEIGHT [NAME]: the id of a visible window of that size (and name).
nb_find_window() {
  local size="$1" name="${2:-}" w
  for w in $(xdotool search --onlyvisible --name "${name:-^}" 2>/dev/null || true); do
    if xdotool getwindowgeometry "$w" 2>/dev/null | grep -q "Geometry: $size\$"; then
      echo "$w"
      return 0
    fi
  done
  return 1
}

# nb_click_in WINDOW X Y: a left click at (X, Y) of the window.
nb_click_in() {
  xdotool mousemove --window "$1" "$2" "$3" sleep 0.1 click 1
}

# ---- numbered messages (the fault tests) ----

# nb_numbered_strings FILE: a strings file in which message n reads as n filled squares
# ("■"), so that the number a message dialog shows can be read back from its pixels.
nb_numbered_strings() {
  local n k
  {
    printf '[local_setting]\r\nlocal_str=Numbered\r\n[Numbered]\r\n'
    for n in $(seq 0 39); do
      printf '%d=' $((1001 + n))
      for ((k = 0; k < n; k++)); do printf '\xA1\xF6'; done
      printf '\r\n'
    done
  } > "$1"
}

# nb_message_number WINDOW: how many squares the message dialog WINDOW shows, that is the
# message number under nb_numbered_strings. The dialog draws character i at
# (60 + 16 (i mod 14), 55 + 15 (i div 14)); a square fills about 49 pixels of its cell in
# the text colour (2, 157, 255).
nb_message_number() {
  xwd -id "$1" -silent 2>/dev/null | convert xwd:- txt:- 2>/dev/null |
    sed -n 's/^\([0-9]*\),\([0-9]*\): *(\([0-9.]*\),\([0-9.]*\),\([0-9.]*\).*/\1 \2 \3 \4 \5/p' |
    awk '$5 > 200 && $3 < 100 && $4 > 100 && $1 >= 60 && $1 < 284 && $2 >= 55 && $2 < 100 {
           ink[int(($1 - 60) / 16) + 14 * int(($2 - 55) / 15)]++
         }
         END { n = 0; for (i = 0; i < 42; i++) if (ink[i] >= 30) n++; print n }'
}

# The visible windows, "id WxH name" each, for failure reports.
nb_window_list() {
  local w
  for w in $(xdotool search --onlyvisible --name '^' 2>/dev/null || true); do
    printf '%s %s %s; ' "$w" "$(xdotool getwindowgeometry "$w" 2>/dev/null | sed -n 's/.*Geometry: //p')" \
      "$(xdotool getwindowname "$w" 2>/dev/null)"
  done
}

# nb_expect_message N [SECONDS]: waits for a message dialog, checks that it shows message N
# and closes it with its OK button.
nb_expect_message() {
  local want="$1" limit="${2:-30}" w got i
  nb_wait_for "nb_find_window 303x176 > /dev/null" "$limit" ||
    fail "message $want never came; windows: $(nb_window_list)"
  w="$(nb_find_window 303x176)"
  got=0
  for i in $(seq 1 30); do  # until the dialog has painted its text
    got="$(nb_message_number "$w")"
    [ "$got" -gt 0 ] && break
    sleep 0.1
  done
  [ "$got" = "$want" ] || fail "message $got shown where message $want was due"
  nb_click_in "$w" 148 135
  nb_wait_for "! xdotool search --onlyvisible --name '^' 2>/dev/null | grep -qx '$w'" 10 ||
    fail "message $want did not close"
}

# nb_expect_no_message SECONDS: no message dialog shows up within that time.
nb_expect_no_message() {
  if nb_wait_for "nb_find_window 303x176 > /dev/null" "$1"; then
    fail "an unexpected message $(nb_message_number "$(nb_find_window 303x176)")"
  fi
}

# nb_make_numbered_install DIR BUILD VERSION: as nb_make_install, with numbered messages.
nb_make_numbered_install() {
  nb_make_install "$@"
  nb_numbered_strings "$1/nblocalstr.ini"
}

# nb_run_launcher DIR [LOG]: starts the installed launcher of DIR in the background, as the
# player does (no argument).
nb_run_launcher() {
  (cd "$1" && exec ./NbLauncher.exe > "${2:-/dev/null}" 2>&1 &)
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
  nb_wait_for "nb_find_window 1000x692 '^NorbelrokOnline\$' > /dev/null" 30 ||
    fail "no main window after the patch; windows: $(nb_window_list)"
  w="$(nb_find_window 1000x692 '^NorbelrokOnline$')"
  nb_click_in "$w" 850 58
  nb_wait_launcher_end "$1" 20 || fail "the launcher did not end when its main window closed"
}

# nb_sha256 FILE
nb_sha256() { sha256sum "$1" | cut -d' ' -f1; }
