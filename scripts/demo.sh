#!/usr/bin/env bash
# Runs the launcher against the stand-in services on this machine.
#
# Lays out under build/demo/ a stand-in site (zone list, two chained patches, the full archive
# of the newest build, control document, the launcher's web pages), an installation two builds behind, starts nb-standin
# on 127.0.0.1:18620 and runs the launcher from the installation folder. With a display the
# player uses it: the update window applies both patches, then the main window opens, where
# the player picks a server and logs in with the demo account; the stand-in game client shows
# the command line it received. Without a display it runs under Xvfb, lets the patches apply,
# plays the login with xdotool, prints the game client's command line and leaves screenshots
# in build/demo/screens/. Then, either way, a file of the installation is deleted and another
# damaged, and `NbLauncher.exe --repair` fetches both again from the full archive.
#
# The functions below are also used by scripts/screenshots.sh (source this file with
# NB_DEMO_LIBRARY=1 to get them without running the demo).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/common.sh"
source "$(dirname "${BASH_SOURCE[0]}")/lib/demo-login.sh"

DEMO="${NB_DEMO:-$NB_BUILD/demo}"
DEMO_PORT=18620
DEMO_INSTALLED_BUILD=1000
DEMO_PUBLISHED_BUILD=1002
DEMO_PIDS=()

demo_log() { echo "== $*"; }

demo_cleanup() {
  local pid
  for pid in "${DEMO_PIDS[@]:-}"; do [ -n "$pid" ] && kill "$pid" 2> /dev/null || true; done
  for pid in $(demo_launcher_pids); do kill "$pid" 2> /dev/null || true; done
}

# Three builds of a pretend game: each patch changes a little, the first one also brings a
# large data file so that the download can be watched.
demo_game_builds() {
  local builds="$DEMO/builds" b
  rm -rf "$builds"
  for b in 1000 1001 1002; do
    mkdir -p "$builds/$b/data"
    printf 'Norbelrok Online game data, build %s\n' "$b" > "$builds/$b/data/readme.txt"
  done
  head -c 3000000 /dev/urandom > "$builds/1001/data/world.pak"
  cp "$builds/1001/data/world.pak" "$builds/1002/data/world.pak"
  printf 'new quests of build 1002\n' > "$builds/1002/data/quests.txt"
}

# The stand-in site: zone list with both big zones and servers in every state and with every
# tag, the control document that lets the launcher run, the launcher pages, two patches signed
# with the demo's key (a demo's key: its private half is public in this tree).
demo_site() {
  local site="$DEMO/site"
  rm -rf "$site"
  mkdir -p "$site/norbel_xml" "$site/patch"
  cp -r "$NB_ROOT/tools/nb-standin/demo-site/." "$site/"
  cat > "$site/norbel_xml/zonelist.xml" << EOF
<?xml version="1.0" encoding="utf-8"?>
<zonelist>
  <gameVerInfo build_code="$DEMO_PUBLISHED_BUILD" version="1.0.$DEMO_PUBLISHED_BUILD"/>
  <update_url>http://127.0.0.1:$DEMO_PORT/patch/</update_url>
  <bigzone name="电信区">
    <server id="1" name="青龙" state="0" server_tag="2" fetch_url="127.0.0.1:7001"/>
    <server id="2" name="白虎" state="1" server_tag="1" fetch_url="127.0.0.1:7002"/>
    <server id="3" name="朱雀" state="2" server_tag="0" fetch_url="127.0.0.1:7003"/>
    <server id="4" name="玄武" state="3" server_tag="0" fetch_url="127.0.0.1:7004"/>
    <server id="5" name="麒麟" state="0" server_tag="0" fetch_url="127.0.0.1:7005"/>
  </bigzone>
  <bigzone name="网通区">
    <server id="11" name="昆仑" state="0" server_tag="2" fetch_url="127.0.0.1:7011"/>
    <server id="12" name="峨眉" state="1" server_tag="0" fetch_url="127.0.0.1:7012"/>
    <server id="13" name="武当" state="2" server_tag="1" fetch_url="127.0.0.1:7013"/>
    <server id="14" name="少林" state="3" server_tag="2" fetch_url="127.0.0.1:7014"/>
  </bigzone>
</zonelist>
EOF
  "$NB_BUILD/nb-mkpatch" -q --bfrom 1000 --bto 1001 --final-version 1.0.1001 --sign "$NB_ROOT/demo/release-demo.pem" \
    -o "$site/patch/NBRK1001.nbupd" "$DEMO/builds/1000" "$DEMO/builds/1001"
  "$NB_BUILD/nb-mkpatch" -q --bfrom 1001 --bto 1002 --final-version 1.0.1002 --sign "$NB_ROOT/demo/release-demo.pem" \
    --full -o "$site/patch/NBRK1002.nbupd" "$DEMO/builds/1001" "$DEMO/builds/1002"
}

# The installation: two builds behind, with the stand-in game client and the launcher built
# with the demo's release key, so that it applies only the demo's signed patches.
demo_install() {
  local inst="$DEMO/install"
  rm -rf "$inst"
  mkdir -p "$inst"
  cp -r "$DEMO/builds/$DEMO_INSTALLED_BUILD/." "$inst/"
  cp "$NB_BUILD/NbLauncher-demo.exe" "$inst/NbLauncher.exe"
  [ -e "$NB_BUILD/nbwebview.so" ] && cp "$NB_BUILD/nbwebview.so" "$inst/"
  printf '[VERSION]\r\nbuild=%s\r\nver=1.0.%s\r\n' "$DEMO_INSTALLED_BUILD" "$DEMO_INSTALLED_BUILD" \
    > "$inst/nbnversion.vsn"
  iconv -f UTF-8 -t CP936 "$NB_ROOT/demo/nblocalstr.utf8.ini" > "$inst/nblocalstr.ini"
  cp "$NB_ROOT/demo/Vd.exe" "$inst/Vd.exe"
  chmod +x "$inst/Vd.exe"
  cp "$NB_BUILD/nb-textview" "$inst/nb-textview"
}

# nb-standin on 127.0.0.1:18620 with the demo accounts; patch bodies are slowed down a little
# so that the update window's progress can be seen.
demo_start_standin() {
  if (exec 3<> "/dev/tcp/127.0.0.1/$DEMO_PORT") 2> /dev/null; then
    echo "port $DEMO_PORT is in use (another nb-standin?); stop it first" >&2
    exit 1
  fi
  "$NB_BUILD/nb-standin" --root "$DEMO/site" --port "$DEMO_PORT" \
    --accounts "$NB_ROOT/tools/nb-standin/demo-accounts.txt" \
    --rate 1500000 --fault-path /patch/ --log "$DEMO/requests.log" \
    > "$DEMO/standin.out" 2>&1 &
  DEMO_PIDS+=($!)
  nb_wait_for "grep -q 'listening on' '$DEMO/standin.out'" 10 || {
    cat "$DEMO/standin.out" >&2
    exit 1
  }
  demo_log "nb-standin $(head -1 "$DEMO/standin.out")"
}

# The launcher processes running from the demo installation (it never leaves that folder).
demo_launcher_pids() {
  local pid
  for pid in $(pgrep -f -- "_NbLauncher.bin|NbLauncher.exe" || true); do
    [ "$(readlink "/proc/$pid/cwd" 2> /dev/null || true)" = "$DEMO/install" ] && echo "$pid"
  done
  return 0
}

demo_installed_build() { sed -n 's/^build=\([0-9]*\).*/\1/p' "$DEMO/install/nbnversion.vsn"; }

demo_start_launcher() {
  (cd "$DEMO/install" && exec ./NbLauncher.exe "$@" >> "$DEMO/launcher.out" 2>&1 &)
}

# Breaks the installation the way disks and players do, then asks for a repair: only the two
# files' members of NBFULL1002.nbupd are fetched, with Range requests.
demo_start_repair() {
  local inst="$DEMO/install"
  nb_wait_for "[ -z \"\$(demo_launcher_pids)\" ]" 30 || true
  rm -f "$inst/data/quests.txt"
  printf 'damaged' | dd of="$inst/data/world.pak" bs=1 seek=1000000 conv=notrunc status=none
  : > "$DEMO/requests.log"
  demo_log "repair: data/quests.txt deleted, data/world.pak damaged; starting NbLauncher.exe --repair" \
    "(or press the small button beside the version line of the server page)"
  demo_start_launcher --repair
}

demo_report_repair() {
  local inst="$DEMO/install"
  grep -a '^repair' "$inst/log1.txt" | sed 's/^/   /' || true
  echo "   full archive: $(grep -c '^GET /patch/NBFULL' "$DEMO/requests.log" || true) Range requests," \
    "$(stat -c %s "$DEMO/site/patch/NBFULL$DEMO_PUBLISHED_BUILD.nbupd") bytes in all"
  if diff -r -q "$DEMO/builds/$DEMO_PUBLISHED_BUILD/data" "$inst/data" > /dev/null; then
    demo_log "repaired: the installation's data equals build $DEMO_PUBLISHED_BUILD again"
  else
    echo "the repair did not restore the files" >&2
  fi
}

# An X server of our own for a run without a display.
demo_start_xvfb() {
  local fdfile="$DEMO/xvfb.display"
  : > "$fdfile"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3> "$fdfile" > "$DEMO/xvfb.log" 2>&1 &
  DEMO_PIDS+=($!)
  nb_wait_for "[ -s '$fdfile' ]" 15 || {
    cat "$DEMO/xvfb.log" >&2
    exit 1
  }
  export DISPLAY=":$(tr -d '\n' < "$fdfile")"
}

# demo_window_shot NAME WIDTHxHEIGHT FILE: a picture of the visible window of that name and
# size, taken from the screen (so the web panels over it are in the picture).
demo_window_shot() {
  local name="$1" size="$2" file="$3" w geometry pos
  for w in $(xdotool search --onlyvisible --name "$name" 2> /dev/null || true); do
    geometry="$(xdotool getwindowgeometry "$w" 2> /dev/null || true)"
    grep -q "Geometry: $size\$" <<< "$geometry" || continue
    pos="$(sed -n 's/.*Position: \([0-9]*\),\([0-9]*\).*/+\1+\2/p' <<< "$geometry")"
    import -window root -crop "$size$pos" +repage "$file"
    return 0
  done
  return 1
}

# Runs the launcher without a display: the patches apply, the windows are photographed.
demo_run_headless() {
  local screens="$DEMO/screens"
  rm -rf "$screens"
  mkdir -p "$screens"
  demo_start_xvfb
  export QT_QPA_PLATFORM=xcb QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:---disable-gpu}"
  demo_log "no display: running under Xvfb on $DISPLAY"
  demo_start_launcher
  nb_wait_for "xdotool search --onlyvisible --name '^NorbelrokOnline 1\$' > /dev/null 2>&1" 60 ||
    echo "the update window did not open" >&2
  sleep 1.5  # the panels load their pages, the download gets going
  demo_window_shot '^NorbelrokOnline 1$' 1000x692 "$screens/update-window.png" || true
  nb_wait_for "[ \"\$(demo_installed_build)\" = $DEMO_PUBLISHED_BUILD ]" 120 ||
    echo "the patches were not applied" >&2
  demo_log "installed build now $(demo_installed_build)"
  # The last run opens the main window; the player's part is played for them.
  if nb_wait_for "xdotool search --onlyvisible --name '^NorbelrokOnline\$' > /dev/null 2>&1" 20; then
    sleep 1.5  # the panels load their pages
    nb_demo_drive_login "$DEMO/install" "$screens" || echo "the login did not complete" >&2
  else
    echo "the main window did not open" >&2
  fi
  import -window root "$screens/screen.png"
  demo_start_repair
  nb_wait_for "xdotool search --onlyvisible --name '^NorbelrokOnline 1\$' > /dev/null 2>&1" 60 ||
    echo "the repair's update window did not open" >&2
  sleep 1
  demo_window_shot '^NorbelrokOnline 1$' 1000x692 "$screens/repair-window.png" || true
  local box main
  if box="$(nb_wait_window 303x176 "" 120)"; then
    nb_demo_shot "$box" "$screens/repair-done.png"
    nb_click_in "$box" 148 135
  else
    echo "the repair did not finish" >&2
  fi
  # The launcher restarts after a repair; its main window is closed again.
  if main="$(nb_wait_window 1000x692 NorbelrokOnline 60)"; then nb_click_in "$main" 850 58; fi
  nb_wait_for "[ -z \"\$(demo_launcher_pids)\" ]" 30 || true
  demo_report_repair
  demo_log "screenshots in $screens:"
  ls -1 "$screens"
}

# Runs the launcher on the player's display and waits until it and its relaunches have ended.
demo_run_interactive() {
  nb_demo_login_help
  demo_log "starting the launcher from $DEMO/install on $DISPLAY"
  demo_start_launcher
  sleep 2
  while [ -n "$(demo_launcher_pids)" ]; do sleep 1; done
  demo_log "the launcher has ended; installed build $(demo_installed_build)"
  if [ -s "$DEMO/install/vd-shown.txt" ]; then
    demo_log "the game client was started:"
    cat "$DEMO/install/vd-shown.txt"
  fi
  demo_start_repair
  sleep 2
  while [ -n "$(demo_launcher_pids)" ]; do sleep 1; done
  demo_report_repair
}

demo_prepare() {
  demo_game_builds
  demo_site
  demo_install
  : > "$DEMO/launcher.out"
  : > "$DEMO/requests.log"
}

# build/ as the demo needs it: every host on the one stand-in (a test run may have left it
# configured otherwise).
demo_build() {
  nb_build -DNB_CONFIG_HOST="127.0.0.1:$DEMO_PORT" -DNB_PORTAL_HOST="127.0.0.1:$DEMO_PORT" \
    -DNB_ACCOUNT_HOST="127.0.0.1:$DEMO_PORT"
}

demo_main() {
  nb_install_packages
  nb_check_commands
  demo_build
  mkdir -p "$DEMO"
  export NB_MACHINE_SETTINGS="$DEMO/machine.ini"
  export XDG_RUNTIME_DIR="$DEMO/xdg"
  mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
  trap demo_cleanup EXIT
  demo_prepare
  demo_start_standin
  demo_log "demo accounts: $(grep -v '^#' "$NB_ROOT/tools/nb-standin/demo-accounts.txt" | awk '{print $1 "/" $2}' | tr '\n' ' ')"
  if [ -n "${DISPLAY:-}" ]; then
    demo_run_interactive
  else
    demo_run_headless
  fi
}

if [ -z "${NB_DEMO_LIBRARY:-}" ]; then demo_main "$@"; fi
