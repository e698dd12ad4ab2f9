#!/usr/bin/env bash
# The whole run of the Windows launcher with its windows, under Wine and Xvfb, against the
# Linux stand-in: started two builds behind in a folder with a Chinese name, it applies both
# signed patches in its update window, opens the main window, a server is chosen, the demo
# account logs in through the code dialog, and the Windows stand-in game client receives
# exactly the command line. Pictures of the five windows land in SHOTS (when given).
# Usage: wine_run_test.sh LINUX-BUILD WINDOWS-BUILD [SHOTS]  (Wine's environment set, code page 936)
source "$(dirname "$0")/../../e2e/lib.sh" "$1"
source "$NB_SRC/tests/e2e/login_lib.sh"
source "$NB_SRC/tests/windows/wine_lib.sh"
nb_wine_build "${2:-}"
SHOTS="${3:-}"
[ -x "$NB_WIN_BUILD/nb-vd-standin.exe" ] || fail "no Windows stand-in game client in $NB_WIN_BUILD"

nb_wine_on_own_display
nb_wine_fonts

shot() { [ -z "$SHOTS" ] || nb_shot_window "$1" "$SHOTS/$2"; }
# pixel WINDOW X Y: the colour the screen shows at (X, Y) of the window, as #RRGGBB.
pixel() {
  local X Y WIDTH HEIGHT SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$1")"
  import -window root -crop "1x1+$((X + $2))+$((Y + $3))" -depth 8 txt:- | sed -n 's/.* \(#[0-9A-F]\{6\}\).*/\1/p'
}
# Where no page can be shown, a panel is filled with this colour below its note.
no_page="#0B1024"

# The launcher with the tests' release key, so the chain is signed and checked as a real one.
launcher="$NB_WIN_BUILD/NbLauncher-testkey.exe"
[ -f "$launcher" ] || fail "no Windows launcher with the test key: $launcher"
site="$NB_TMP/site"
nb_make_patch_chain "$site" --sign "$NB_SRC/tests/data/trust/release-test.pem"
nb_start_standin "$site" --accounts "$NB_SRC/tools/nb-standin/demo-accounts.txt" --always-code \
  --stall-after 100000 --fault-path /patch/NBRK11
inst="$NB_TMP/电信区 game"
nb_make_install "$inst" 10 1.0.10 "$launcher"
cp "$NB_TMP/game10/data.txt" "$inst/"
cp "$NB_WIN_BUILD/nb-vd-standin.exe" "$inst/Vd.exe"
(cd "$inst" && exec wine ./NbLauncher.exe > "$NB_TMP/run.out" 2>&1 &)

update="$(nb_wait_window 1000x692 "NorbelrokOnline 1" 60)" || fail "no update window: $(nb_window_list) $(cat "$NB_TMP/run.out")"
nb_wait_for "nb_find_window 422x353 > /dev/null && nb_find_window 160x389 > /dev/null" 30 ||
  fail "the web panels are not shown: $(nb_window_list)"
sleep 1
shot "$update" windows-update-window.png
nb_standin_stalled "$NB_PORTAL_HOST" || fail "the first patch is not held at its stall"
curl -s --noproxy '*' "http://$NB_PORTAL_HOST/_standin/fault?stall_after=-1" > /dev/null
pass "the update window shows the first patch's download with its panels"

nb_wait_for "grep -q '^build=12' '$inst/nbnversion.vsn'" 120 ||
  fail "not updated: $(cat "$inst/nbnversion.vsn"; tail -5 "$inst/log1.txt"; cat "$NB_TMP/run.out")"
cmp -s "$inst/data.txt" "$NB_TMP/game12/data.txt" || fail "data.txt not patched"
cmp -s "$inst/nbinstalled.manifest" "$site/patch/NBRK12.nbupd.manifest" || fail "the last signed manifest is not kept"
pass "both signed patches applied in the update window"

main="$(nb_wait_window 1000x692 NorbelrokOnline 60)" || fail "no main window: $(nb_window_list)"
sleep 1
shot "$main" windows-server-page.png
nb_click_in "$main" $(nb_at_grid 0)
nb_click_in "$main" $NB_AT_START
nb_wait_for 'grep -q "==========OnBtnEnterClick==========" "$inst/log1.txt"' 15 || fail "no login page"
sleep 1
shot "$main" windows-login-page.png
# Both panels over the window: the announcement, shown only now, too.
[ "$(pixel "$main" 500 300)" = "$no_page" ] && [ "$(pixel "$main" 800 300)" = "$no_page" ] ||
  fail "the login page's panels are not on top: $(pixel "$main" 500 300) $(pixel "$main" 800 300)"
pass "a server chosen, the login page shown with both panels"

# The boxes are pop-ups over the main window: a click gives one the focus, and what is typed
# goes there (focusing the main window would take it away).
nb_click_in "$main" $NB_AT_ACCOUNT
xdotool type --delay 30 "test"
login_with() {
  nb_click_in "$main" $NB_AT_PASSWORD
  xdotool type --delay 30 "123456"
  xdotool key Return
}
login_with
message="$(nb_wait_window 303x176 "" 20)" || fail "the service's demand for a code was not shown"
grep -aq "GET /interface/login.php" "$NB_TMP/requests.log" || fail "no login was sent: $(tail -3 "$inst/log1.txt")"
sleep 1
shot "$message" windows-message-dialog.png
nb_click_in "$message" 148 135
nb_wait_gone "$message" 10 || fail "the message stays"
# The Enter cleared the password box; the account name stays.
login_with
code_dialog="$(nb_wait_window 373x268 "" 20)" || fail "no code dialog: $(nb_window_list)"
sleep 1
shot "$code_dialog" windows-code-dialog.png
right="$(nb_standin_code)"
[[ "$right" =~ ^[0-9]{4}$ ]] || fail "no code from the stand-in: $right"
nb_click_in "$code_dialog" 277 134
xdotool type --delay 30 "$right"
nb_click_in "$code_dialog" 118 203
nb_wait_for "[ -s '$inst/vd-args.txt' ]" 20 || fail "the game client was not started: $(tail -5 "$inst/log1.txt")"
pass "the demo account logs in through the code dialog"

# Exactly the launcher's line: the bare program name, the quoted client path (the folder has a
# blank and a Chinese name), dev: glued to the server name, the address, the user id and the
# joined login text, built here from the service's reply the launcher kept (GBK, as sent).
reply="$(iconv -f GBK -t UTF-8 "$inst/LoginRes.xml")"
field() { printf '%s\n' "$reply" | sed -n "s|.*<$1>\(.*\)</$1>.*|\1|p"; }
[[ "$(field key)" =~ ^[0-9a-f]{32}$ ]] || fail "no login reply kept: $reply"
winpath="Z:$(printf '%s' "$inst" | sed 's|/|\\|g')\\Vd.exe"
expected="Vd.exe \"$winpath\" dev:昆仑 127.0.0.1:7011 $(field userid) $(field login)|$(field addiction)|$(field login_date)|$(field key)|$(field auth)"
[ "$(field userid)|$(field login)|$(field addiction)" = "10001|test|0" ] || fail "the demo account's reply: $reply"
cmp -s "$inst/vd-args.txt" <(printf '%s' "$expected") ||
  fail "game client command line: '$(cat "$inst/vd-args.txt")', expected '$expected'"
pass "the game client received exactly the command line"
