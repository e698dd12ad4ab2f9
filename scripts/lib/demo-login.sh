# The main window's part of the demo: what to tell a player at a screen, and the same story
# played with xdotool when there is no screen (a server, the start button, the demo account,
# a verification code, the game client's command line), with a screenshot of each window.
# Sourced by scripts/demo.sh; needs DISPLAY, xdotool, ImageMagick's import and curl.

NB_DEMO_ACCOUNT="test"
NB_DEMO_PASSWORD="123456"
NB_DEMO_STANDIN="http://127.0.0.1:18620"

nb_demo_login_help() {
  cat << EOF
== the main window: pick a server, press the start orb, log in as "$NB_DEMO_ACCOUNT" / "$NB_DEMO_PASSWORD"
   (three wrong passwords in a row make the service ask for a verification code).
   The stand-in game client Vd.exe shows the command line it received.
EOF
}

# nb_demo_window SIZE [TITLE] [SECONDS]: the id of a visible window of that size, once it is there.
nb_demo_window() {
  local size="$1" title="${2:-}" limit="${3:-30}" i w
  for ((i = 0; i < limit * 10; i++)); do
    for w in $(xdotool search --onlyvisible --class . 2> /dev/null || true); do
      [ -z "$title" ] || [ "$(xdotool getwindowname "$w" 2> /dev/null)" = "$title" ] || continue
      if xdotool getwindowgeometry "$w" 2> /dev/null | grep -q "Geometry: $size\$"; then
        echo "$w"
        return 0
      fi
    done
    sleep 0.1
  done
  return 1
}

# nb_demo_shot WINDOW FILE: the window as the screen shows it.
nb_demo_shot() {
  local X Y WIDTH HEIGHT SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$1")"
  sleep 0.5
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$2"
  echo "   screenshot: $2"
}

nb_demo_click() {
  xdotool mousemove --window "$1" "$2" "$3" sleep 0.2 click 1
  sleep 0.3
}

# nb_demo_type WINDOW X Y TEXT: replaces the text of the edit box at (X, Y).
nb_demo_type() {
  nb_demo_click "$1" "$2" "$3"
  xdotool key --clearmodifiers ctrl+a BackSpace
  xdotool type --delay 60 -- "$4"
}

# nb_demo_drive_login INSTALL_DIR SCREENS_DIR: plays the main window's story in a running
# launcher. The login is made to need a verification code, so that dialog shows too.
nb_demo_drive_login() {
  local inst="$1" screens="$2" main box code_dialog code i
  mkdir -p "$screens"
  echo "== main window"
  main="$(nb_demo_window 1000x692 NorbelrokOnline 60)" || {
    echo "the main window did not open" >&2
    return 1
  }
  nb_demo_click "$main" 457 152   # the first server of the zone shown
  nb_demo_shot "$main" "$screens/server-page.png"

  nb_demo_click "$main" 854 566   # start
  nb_demo_type "$main" 527 497 "$NB_DEMO_ACCOUNT"
  nb_demo_type "$main" 527 536 "$NB_DEMO_PASSWORD"
  nb_demo_shot "$main" "$screens/login-page.png"

  echo "== login; the stand-in asks for a verification code this time"
  curl -s --noproxy '*' "$NB_DEMO_STANDIN/_standin/account?always_code=1" > /dev/null
  xdotool key Return
  if box="$(nb_demo_window 303x176 "" 15)"; then
    nb_demo_shot "$box" "$screens/message-box.png"
    nb_demo_click "$box" 148 135
  fi
  curl -s --noproxy '*' "$NB_DEMO_STANDIN/_standin/account?always_code=0" > /dev/null
  nb_demo_type "$main" 527 536 "$NB_DEMO_PASSWORD"
  xdotool key Return
  code_dialog="$(nb_demo_window 373x268 "" 20)" || {
    echo "the verification-code dialog did not open" >&2
    return 1
  }
  code="$(curl -s --noproxy '*' "$NB_DEMO_STANDIN/_standin/code?latest")"
  nb_demo_type "$main" 580 345 "$code"
  nb_demo_shot "$code_dialog" "$screens/code-dialog.png"
  nb_demo_click "$code_dialog" 118 203

  for ((i = 0; i < 150; i++)); do
    [ -s "$inst/vd-args.txt" ] && break
    sleep 0.1
  done
  if [ ! -s "$inst/vd-args.txt" ]; then
    echo "the game client was not started; see $inst/log1.txt" >&2
    return 1
  fi
  echo "== the game client's command line"
  grep -a "strStartVd" "$inst/log1.txt" | tail -1 | iconv -f CP936 -t UTF-8
  echo
  cat "$inst/vd-shown.txt"
}
