# The main window's part of the demo: what to tell a player at a screen, and the same story
# played with xdotool when there is no screen (a server, the start button, the demo account,
# a verification code, the game client's command line), with a screenshot of each window.
# Sourced by scripts/demo.sh; needs DISPLAY, xdotool, ImageMagick's import and curl.

source "$(dirname "${BASH_SOURCE[0]}")/../../tests/e2e/x11.sh"

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

# nb_demo_shot WINDOW FILE: the window as the screen shows it.
nb_demo_shot() {
  sleep 0.5  # the last input's repaint
  nb_shot_window "$1" "$2"
  echo "   screenshot: $2"
}

# nb_demo_drive_login INSTALL_DIR SCREENS_DIR: plays the main window's story in a running
# launcher. The login is made to need a verification code, so that dialog shows too.
nb_demo_drive_login() {
  local inst="$1" screens="$2" main box code_dialog code i
  mkdir -p "$screens"
  echo "== main window"
  main="$(nb_wait_window 1000x692 NorbelrokOnline 60)" || {
    echo "the main window did not open" >&2
    return 1
  }
  nb_click_in "$main" 457 152   # the first server of the zone shown
  nb_demo_shot "$main" "$screens/server-page.png"

  nb_click_in "$main" 854 566   # start
  nb_type "$main" 527 497 "$NB_DEMO_ACCOUNT"
  nb_type "$main" 527 536 "$NB_DEMO_PASSWORD"
  nb_demo_shot "$main" "$screens/login-page.png"

  echo "== login; the stand-in asks for a verification code this time"
  curl -s --noproxy '*' "$NB_DEMO_STANDIN/_standin/account?always_code=1" > /dev/null
  nb_key "$main" Return
  if box="$(nb_wait_window 303x176 "" 15)"; then
    nb_demo_shot "$box" "$screens/message-box.png"
    nb_click_in "$box" 148 135
  fi
  curl -s --noproxy '*' "$NB_DEMO_STANDIN/_standin/account?always_code=0" > /dev/null
  nb_type "$main" 527 536 "$NB_DEMO_PASSWORD"
  nb_key "$main" Return
  code_dialog="$(nb_wait_window 373x268 "" 20)" || {
    echo "the verification-code dialog did not open" >&2
    return 1
  }
  code="$(curl -s --noproxy '*' "$NB_DEMO_STANDIN/_standin/code?latest")"
  nb_type "$code_dialog" 267 133 "$code"  # the code box, inside the dialog
  nb_demo_shot "$code_dialog" "$screens/code-dialog.png"
  nb_click_in "$code_dialog" 118 203

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
