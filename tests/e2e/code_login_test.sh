#!/usr/bin/env bash
# The login through a verification code: the service demands a code (message 0), the next
# login opens the code dialog with the service's picture, a wrong code is refused (message 1)
# with a fresh picture, the right one is checked first and then sent with the login, and the
# game starts.
source "$(dirname "$0")/lib.sh" "$1"
source "$(dirname "$0")/login_lib.sh"

nb_start_xvfb
nb_make_site "$NB_TMP/site" 1000 1.0.0
nb_start_standin "$NB_TMP/site" --accounts "$NB_SRC/tools/nb-standin/demo-accounts.txt" --always-code
inst="$NB_TMP/game"
nb_login_install "$inst"
cd "$inst"
export NB_VD_QUIET=1

cp NbLauncher.exe _NbLauncher.bin
./_NbLauncher.bin "$NB_ZONE_LIST_URL" > launcher.out 2>&1 &
launcher=$!
main="$(nb_wait_window 1000x692 NorbelrokOnline)" || fail "no main window: $(cat launcher.out)"

nb_click_in "$main" $(nb_at_grid 1)
nb_click_in "$main" $NB_AT_START
nb_type "$main" $NB_AT_ACCOUNT "test"
nb_type "$main" $NB_AT_PASSWORD "123456"
nb_key "$main" Return
nb_expect_message 0
[ "$(grep -ac "GET /interface/login.php" "$NB_TMP/requests.log")" -eq 1 ] || fail "expected one plain login"
pass "the service demands a code"

# The Enter cleared the password box; the next login goes through the code dialog.
nb_click_in "$main" $NB_AT_PASSWORD
xdotool type --delay 30 "123456"
nb_key "$main" Return
code_dialog="$(nb_wait_window 373x268 "" 15)" || fail "no code dialog"
nb_wait_for '[ -s vCode.png ]' 5 || fail "no picture downloaded"
convert vCode.png -background black -flatten "$NB_TMP/expected.png"
# The number of pixels where the dialog differs from the picture, once it has painted it.
picture_shown() {
  nb_shot_window "$code_dialog" "$NB_TMP/code-dialog.png"
  convert "$NB_TMP/code-dialog.png" -crop 68x28+70+120 +repage "$NB_TMP/shown.png"
  differing="$(compare -metric AE -fuzz 3% "$NB_TMP/shown.png" "$NB_TMP/expected.png" null: 2>&1 || true)"
  [ "${differing%% *}" -lt 40 ]
}
nb_wait_for picture_shown 10 || fail "the dialog does not show the picture ($differing pixels differ)"
[ "$(grep -ac "GET /interface/login.php" "$NB_TMP/requests.log")" -eq 1 ] || fail "a login was sent before the code"
pass "the code dialog shows the service's picture"

# The code box sits at (530, 331) from the main window's corner, inside the code dialog
# centred on it: typed into through the dialog, which covers the main window there.
right="$(nb_standin_code)"
[[ "$right" =~ ^[0-9]{4}$ ]] || fail "no code from the stand-in: $right"
wrong="$(printf '%04d' $(((10#$right + 1) % 10000)))"
nb_type "$code_dialog" 277 134 "$wrong"
nb_click_in "$code_dialog" 118 203
nb_expect_message 1
checks="$(grep -ac "GET /interface/check_code.php?c=$wrong&p=" "$NB_TMP/requests.log")"
[ "$checks" -eq 1 ] || fail "the wrong code was not checked"
[ "$(grep -ac "GET /interface/login.php" "$NB_TMP/requests.log")" -eq 1 ] || fail "a login was sent for a wrong code"
nb_wait_for '[ "$(grep -ac "GET /interface/vcode.php" "$NB_TMP/requests.log")" -ge 2 ]' 10 || fail "no fresh picture after the wrong code"
[ "$(grep -ac "GET /interface/vcode.php" "$NB_TMP/requests.log")" -eq 2 ] || fail "more than one fresh picture"
pass "a wrong code is refused with a fresh picture"

right="$(nb_standin_code)"
nb_type "$code_dialog" 277 134 "$right"
nb_click_in "$code_dialog" 118 203
nb_wait_for '[ -s vd-args.txt ]' 15 || fail "the game client was not started: $(tail -5 log1.txt)"
set +e
wait "$launcher"
status=$?
set -e
[ "$status" -eq 1 ] || fail "launcher exit status $status, expected 1"

check_line="$(grep -an "GET /interface/check_code.php?c=$right&p=" "$NB_TMP/requests.log" | cut -d: -f1)"
login_line="$(grep -an "GET /interface/login.php?.*&c=$right&p2=" "$NB_TMP/requests.log" | cut -d: -f1)"
[ -n "$check_line" ] && [ -n "$login_line" ] && [ "$check_line" -lt "$login_line" ] ||
  fail "the right code was not checked before the login with it"
session="$(grep -ao "check_code.php?c=$right&p=[a-v0-9]*" "$NB_TMP/requests.log" | sed 's/.*&p=//')"
grep -aq "&c=$right&p2=$session&s=12 " "$NB_TMP/requests.log" || fail "the login carries another session"
mapfile -t args < vd-args.txt
[ "${args[1]}" = "dev:$(nb_gbk 峨眉)" ] && [ "${args[3]}" = "10001" ] || fail "game client arguments: $(cat vd-args.txt)"
nb_expect_host /interface/vcode.php "$NB_ACCOUNT_HOST"
nb_expect_host /interface/check_code.php "$NB_ACCOUNT_HOST"
nb_expect_host /interface/login.php "$NB_ACCOUNT_HOST"
pass "the right code logs in and the game starts"
