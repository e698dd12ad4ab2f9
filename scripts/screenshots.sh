#!/usr/bin/env bash
# Makes the README's pictures from real runs of the launcher under Xvfb against nb-standin:
# docs/update-window.png (a patch download under way, with the web panels) and
# docs/message-dialog.png (message 14 when the host has no such patch).
set -euo pipefail
NB_DEMO_LIBRARY=1
source "$(dirname "${BASH_SOURCE[0]}")/demo.sh"
DEMO="$NB_BUILD/screenshots-run"
DOCS="$NB_ROOT/docs"

shots_fail() {
  echo "screenshots: $*; the launcher said:" >&2
  tail -5 "$DEMO/install/log1.txt" >&2 || true
  exit 1
}

shots_stop_run() {
  local pid
  for pid in $(demo_launcher_pids); do kill "$pid" 2> /dev/null || true; done
  nb_wait_for '[ -z "$(demo_launcher_pids)" ]' 10 || true
  for pid in "${DEMO_PIDS[@]:-}"; do
    [ "$pid" = "${SHOTS_XVFB:-}" ] && continue
    kill "$pid" 2> /dev/null || true
    wait "$pid" 2> /dev/null || true
  done
  DEMO_PIDS=("${SHOTS_XVFB:-}")
}

# nb-standin for the pictures: patch bodies slow enough to catch the bar half way.
shots_standin() {
  nb_wait_for "! (exec 3<> /dev/tcp/127.0.0.1/$DEMO_PORT) 2> /dev/null" 120 || {
    echo "port $DEMO_PORT stays in use" >&2
    exit 1
  }
  "$NB_BUILD/nb-standin" --root "$DEMO/site" --port "$DEMO_PORT" --log "$DEMO/requests.log" "$@" \
    > "$DEMO/standin.out" 2>&1 &
  DEMO_PIDS+=($!)
  nb_wait_for "grep -q 'listening on' '$DEMO/standin.out'" 10
}

main() {
  nb_install_packages
  nb_check_commands
  demo_build
  rm -rf "$DEMO"
  mkdir -p "$DEMO" "$DOCS"
  export NB_MACHINE_SETTINGS="$DEMO/machine.ini" XDG_RUNTIME_DIR="$DEMO/xdg"
  mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
  trap demo_cleanup EXIT
  demo_prepare
  demo_start_xvfb
  SHOTS_XVFB="${DEMO_PIDS[-1]}"
  export QT_QPA_PLATFORM=xcb QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:---disable-gpu}"

  echo "== the update window, half way through the first patch"
  shots_standin --rate 400000 --fault-path /patch/
  demo_start_launcher
  nb_wait_for "xdotool search --onlyvisible --name '^NorbelrokOnline 1\$' > /dev/null 2>&1" 60 ||
    shots_fail "the update window did not open"
  nb_wait_for "grep -q '^GET /patch/' '$DEMO/requests.log'" 30 || shots_fail "no patch was asked for"
  sleep 3.5
  demo_window_shot '^NorbelrokOnline 1$' 1000x692 "$DOCS/update-window.png"
  shots_stop_run

  echo "== the message dialog: the host has no such patch"
  demo_install
  shots_standin --status "/patch/NBRK$((DEMO_INSTALLED_BUILD + 1)).nbupd=404"
  demo_start_launcher
  nb_wait_for "demo_window_shot '^' 303x176 '$DOCS/message-dialog.png'" 60 || shots_fail "no message dialog"
  sleep 1  # mapped is not yet painted: take it again once it has settled
  demo_window_shot '^' 303x176 "$DOCS/message-dialog.png"
  shots_stop_run
  ls -l "$DOCS/update-window.png" "$DOCS/message-dialog.png"
}

main "$@"
