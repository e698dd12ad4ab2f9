# Helpers for the login end-to-end tests, on top of lib.sh: an installation whose messages
# can be told apart on the screen, the main window's places, and reading the message dialog.
# Source it after lib.sh.

NB_ZONE_LIST_URL="http://127.0.0.1:18620/norbel_xml/zonelist.xml"

# nb_block_strings DIR: a strings file in which message n is n + 1 black squares, so the
# message dialog's character grid tells which message it shows.
nb_block_strings() {
  local dir="$1" n i
  {
    printf '[local_setting]\r\nlocal_str=Blocks\r\n[Blocks]\r\n'
    for n in $(seq 0 39); do
      printf '%d=' $((1001 + n))
      for ((i = 0; i <= n; i++)); do printf '\xe2\x96\xa0'; done
      printf '\r\n'
    done
  } | iconv -f UTF-8 -t CP936 > "$dir/nblocalstr.ini"
}

# nb_login_install DIR: an installation at the published build, with the stand-in game
# client and the block messages.
nb_login_install() {
  nb_make_install "$1" 1000 1.0.0
  cp "$NB_SRC/demo/Vd.exe" "$1/Vd.exe"
  chmod +x "$1/Vd.exe"
  nb_block_strings "$1"
}

# nb_visible_windows: the ids of the visible top-level windows (a window without a title
# included, which a search by name misses).
nb_visible_windows() { xdotool search --onlyvisible --class . 2> /dev/null || true; }

# nb_window_of_size SIZE [NAME]: the id of a visible window of that size (and title).
nb_window_of_size() {
  local size="$1" name="${2:-}" w
  for w in $(nb_visible_windows); do
    [ -z "$name" ] || [ "$(xdotool getwindowname "$w" 2> /dev/null)" = "$name" ] || continue
    if xdotool getwindowgeometry "$w" 2> /dev/null | grep -q "Geometry: $size\$"; then
      echo "$w"
      return 0
    fi
  done
  return 1
}

# nb_wait_window SIZE [NAME] [SECONDS]: waits for a visible window of that size; prints its id.
nb_wait_window() {
  local size="$1" name="${2:-}" limit="${3:-15}" i
  for ((i = 0; i < limit * 10; i++)); do
    nb_window_of_size "$size" "$name" && return 0
    sleep 0.1
  done
  return 1
}

# nb_wait_gone WINDOW [SECONDS]: waits until the window is no longer visible.
nb_wait_gone() {
  local w="$1" limit="${2:-10}" i
  for ((i = 0; i < limit * 10; i++)); do
    nb_visible_windows | grep -qx "$w" || return 0
    sleep 0.1
  done
  return 1
}

# nb_shot_window WINDOW FILE: the window's pixels as the screen shows them.
nb_shot_window() {
  local w="$1" file="$2" X Y WIDTH HEIGHT SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$w")"
  # Let a repaint asked for by the last input reach the screen.
  sleep 0.3
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$file"
}

# nb_message_cells FILE: how many cells of the message dialog's character grid (14 a row,
# 16 x 15 pixels from (60, 55)) are covered by the message colour.
nb_message_cells() {
  convert "$1" -depth 8 txt:- | awk -F'[,:() ]+' '
    NR > 1 {
      x = $1; y = $2; r = $3; g = $4; b = $5
      if (x < 60 || y < 55 || x >= 60 + 14 * 16 || y >= 55 + 5 * 15) next
      if (r > 40 || g < 120 || g > 200 || b < 215) next
      cell = int((x - 60) / 16) + 14 * int((y - 55) / 15)
      count[cell]++
    }
    END {
      n = 0
      while (count[n] > 12) n++
      print n
    }'
}

# nb_expect_message N [SHOT]: the message dialog shows message N; it is closed with its button.
nb_expect_message() {
  local expected="$1" shot="${2:-$NB_TMP/message.png}" w cells
  w="$(nb_wait_window 303x176 "" 15)" || fail "no message dialog for message $expected"
  nb_shot_window "$w" "$shot"
  cells="$(nb_message_cells "$shot")"
  [ "$cells" -eq $((expected + 1)) ] || fail "message dialog shows message $((cells - 1)), expected $expected"
  nb_click_in "$w" 148 135
  nb_wait_gone "$w" || fail "message dialog did not close"
}

# nb_no_message: no message dialog is open.
nb_no_message() {
  ! nb_window_of_size 303x176 > /dev/null
}

# nb_type WINDOW X Y TEXT: clicks into the edit box at (X, Y) of the window, replaces its text.
nb_type() {
  nb_click_in "$1" "$2" "$3"
  xdotool key --clearmodifiers ctrl+a BackSpace
  [ -z "$4" ] || xdotool type --delay 30 -- "$4"
}

# Places on the main window (centres of the controls).
NB_AT_ZONE_TAB0="346 311"
NB_AT_START="854 566"
NB_AT_BACK="254 541"
NB_AT_ACCOUNT="527 497"
NB_AT_PASSWORD="527 536"
# nb_at_grid I: the centre of grid server button I.
nb_at_grid() { echo "$((412 + 102 * ($1 % 3) + 45)) $((139 + 47 * ($1 / 3) + 13))"; }

# nb_standin_code: the code of the verification picture the stand-in issued last.
nb_standin_code() {
  curl -s --noproxy '*' "http://127.0.0.1:18620/_standin/code?latest"
}

# nb_gbk TEXT: the code page 936 bytes of a UTF-8 text.
nb_gbk() { printf '%s' "$1" | iconv -f UTF-8 -t CP936; }
