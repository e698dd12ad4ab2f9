#!/usr/bin/env bash
# The player's run through the main window, driven with real X input: a server in
# maintenance is refused (message 18) and leaves nothing chosen (message 17), the zone tabs,
# a server, the start button, empty fields (message 2), a name of 21 bytes (message 3, the
# password box cleared), then name and password and Enter: the stand-in game client gets the
# game's command line and the launcher ends with status 1.
source "$(dirname "$0")/lib.sh" "$1"
source "$(dirname "$0")/login_lib.sh"

nb_start_xvfb
nb_make_site "$NB_TMP/site" 1000 1.0.0
nb_start_standin "$NB_TMP/site" --accounts "$NB_SRC/tools/nb-standin/demo-accounts.txt"
inst="$NB_TMP/game"
nb_login_install "$inst"
cd "$inst"
export NB_VD_QUIET=1

# The copy the installed launcher relaunches itself as, started the same way but as this
# script's child, so that its exit status can be read.
cp NbLauncher.exe _NbLauncher.bin
./_NbLauncher.bin "$NB_ZONE_LIST_URL" > launcher.out 2>&1 &
launcher=$!
main="$(nb_wait_window 1000x692 NorbelrokOnline)" || fail "no main window: $(cat launcher.out)"
pass "main window open"

nb_click_in "$main" $NB_AT_ZONE_TAB0
nb_click_in "$main" $(nb_at_grid 3)   # the fourth server of the first zone is in maintenance
nb_expect_message 18
nb_click_in "$main" $NB_AT_START
nb_expect_message 17
grep -q "strToken" log1.txt && fail "the start button went on without a server"
pass "a server in maintenance is refused and nothing is chosen"

nb_click_in "$main" 346 183           # back to the second zone
nb_click_in "$main" $(nb_at_grid 0)   # its first server, id 11
nb_click_in "$main" $NB_AT_START
nb_wait_for 'grep -q "==========OnBtnEnterClick==========" log1.txt' 15 || fail "no login page"
nb_expect_no_message
pass "server chosen, login page shown"

nb_click_in "$main" $NB_AT_ACCOUNT
nb_key "$main" Return
nb_expect_message 2
nb_type "$main" $NB_AT_ACCOUNT "abcdefghijklmnopqrstu"
nb_type "$main" $NB_AT_PASSWORD "123456"
nb_key "$main" Return
nb_expect_message 3
grep -q "interface/login.php" "$NB_TMP/requests.log" && fail "a login was sent for bad input"
pass "empty fields give message 2, 21 bytes give message 3"

# The password box was cleared: typing into it without clearing gives the right password.
nb_type "$main" $NB_AT_ACCOUNT "Test"
nb_click_in "$main" $NB_AT_PASSWORD
xdotool type --delay 30 "123456"
nb_key "$main" Return

nb_wait_for '[ -s vd-args.txt ]' 15 || fail "the game client was not started: $(tail -5 log1.txt)"
set +e
wait "$launcher"
status=$?
set -e
[ "$status" -eq 1 ] || fail "launcher exit status $status, expected 1"
pass "the launcher ended with status 1 after starting the game"

mapfile -t args < vd-args.txt
[ "${#args[@]}" -eq 5 ] || fail "game client got ${#args[@]} arguments: $(cat vd-args.txt)"
[ "${args[0]}" = "$inst/Vd.exe" ] || fail "argument 1: ${args[0]}"
[ "${args[1]}" = "dev:$(nb_gbk 昆仑)" ] || fail "argument 2: ${args[1]}"
[ "${args[2]}" = "127.0.0.1:7011" ] || fail "argument 3: ${args[2]}"
[ "${args[3]}" = "10001" ] || fail "argument 4: ${args[3]}"
IFS='|' read -r login addiction date key auth rest <<< "${args[4]}"
[ "$login" = "test" ] && [ "$addiction" = "0" ] && [ -z "$rest" ] || fail "argument 5: ${args[4]}"
[[ "$date" =~ ^[0-9]+$ ]] && [[ "$key" =~ ^[0-9a-f]{32}$ ]] || fail "argument 5: ${args[4]}"
[ "$auth" = "$(printf '%s' "test|$key|$date" | md5sum | cut -c1-32)" ] || fail "auth of argument 5: ${args[4]}"
grep -q "^strStartVd = Vd.exe \"$inst/Vd.exe\" dev:" log1.txt || fail "no game start line in the log"
pass "the game client received the server and the login"

login="$(grep -a "GET /interface/login.php" "$NB_TMP/requests.log")"
[ "$(printf '%s\n' "$login" | wc -l)" -eq 1 ] || fail "expected one login request: $login"
[[ "$login" =~ \?u=test\&p=[0-9a-f]{32}\&g=rk\&t=xml\&s=11\  ]] || fail "login request: $login"
nb_expect_host /interface/login.php "$NB_ACCOUNT_HOST"
pass "one login request with the lower-cased name, the digest and the server id"
nb_expect_host /launcher.html "$NB_PORTAL_HOST"
nb_expect_host /launchernav.html "$NB_PORTAL_HOST"
pass "the main window's pages came from the portal host"
