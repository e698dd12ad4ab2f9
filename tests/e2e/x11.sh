# Finding, clicking and typing into the launcher's windows with xdotool: shared by the
# end-to-end tests (through lib.sh) and the demo. Only functions; needs DISPLAY when called.

# nb_wait_for CONDITION [SECONDS]: polls a shell condition until it holds or SECONDS of wall
# time have passed (each check can take long on a loaded machine, so they are not counted).
nb_wait_for() {
  local cond="$1" deadline=$((SECONDS + ${2:-10}))
  while :; do
    if eval "$cond"; then return 0; fi
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.05
  done
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

# nb_visible_windows: the ids of the visible top-level windows (those without a title
# included, which a search by name misses).
nb_visible_windows() { xdotool search --onlyvisible --class . 2> /dev/null || true; }

# nb_find_window WIDTHxHEIGHT [TITLE] [DIR]: the id of a visible window of that size (and
# exactly that title; and, with DIR, of a launcher running from installation DIR, so that a
# window another run left behind is never taken for it).
nb_find_window() {
  local size="$1" title="${2:-}" dir="${3:-}" w pids=""
  if [ -n "$dir" ]; then
    pids=" $(nb_launcher_pids "$dir" | tr '\n' ' ')"
    [ "$pids" != " " ] || return 1
  fi
  for w in $(nb_visible_windows); do
    [ -z "$title" ] || [ "$(xdotool getwindowname "$w" 2> /dev/null)" = "$title" ] || continue
    [ -z "$dir" ] || [[ "$pids" == *" $(xdotool getwindowpid "$w" 2> /dev/null) "* ]] || continue
    if xdotool getwindowgeometry "$w" 2> /dev/null | grep -q "Geometry: $size\$"; then
      echo "$w"
      return 0
    fi
  done
  return 1
}

# nb_wait_window SIZE [TITLE] [SECONDS] [DIR]: waits for nb_find_window; prints the id.
nb_wait_window() {
  local limit="${3:-15}"
  nb_wait_for "nb_find_window '$1' '${2:-}' '${4:-}' > /dev/null" "$limit" || return 1
  nb_find_window "$1" "${2:-}" "${4:-}"
}

# nb_wait_gone WINDOW [SECONDS]: waits until the window is no longer visible.
nb_wait_gone() {
  nb_wait_for "! nb_visible_windows | grep -qx '$1'" "${2:-10}"
}

# nb_click_in WINDOW X Y: a left click at (X, Y) of the window (keys typed next go through
# nb_key or nb_type, which give the window the input focus first).
# The pointer passes through the window's corner first: a window that has just opened under
# a pointer that is already at the place gets no motion there otherwise, and a button that has
# seen no motion may ignore the press; the toolkit settles its hover state before the press.
nb_click_in() {
  xdotool mousemove --sync --window "$1" 1 1 \
    mousemove --sync --window "$1" "$2" "$3" sleep 0.1 click 1
}

# nb_type WINDOW X Y TEXT: clicks into the edit box at (X, Y) of the window and replaces its
# text with TEXT.
nb_type() {
  nb_click_in "$1" "$2" "$3"
  xdotool windowfocus --sync "$1" key --clearmodifiers ctrl+a BackSpace
  [ -z "$4" ] || xdotool type --delay 30 -- "$4"
}

# nb_key WINDOW KEY...: keys typed into the window once it has the input focus.
nb_key() {
  local w="$1"; shift
  xdotool windowfocus --sync "$w" key --clearmodifiers "$@"
}

# The visible windows, "id WxH name" each, for failure reports.
nb_window_list() {
  local w
  for w in $(nb_visible_windows); do
    printf '%s %s %s; ' "$w" "$(xdotool getwindowgeometry "$w" 2>/dev/null | sed -n 's/.*Geometry: //p')" \
      "$(xdotool getwindowname "$w" 2>/dev/null)"
  done
}

# nb_shot_window WINDOW FILE: the window's pixels as the screen shows them (with whatever
# lies over it).
nb_shot_window() {
  local w="$1" file="$2" X Y WIDTH HEIGHT SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$w")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$file"
}
