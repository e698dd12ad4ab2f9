#!/usr/bin/env bash
# A start with a command token, as a web page starts the launcher: the token travels through
# the relaunch, and the start button starts the game client at once, without a login, with
# the token's parts after the server (two blanks before its last word), and the window closes.
source "$(dirname "$0")/lib.sh" "$1"
source "$(dirname "$0")/login_lib.sh"

nb_start_xvfb
nb_make_site "$NB_TMP/site" 1000 1.0.0
nb_start_standin "$NB_TMP/site" --accounts "$NB_SRC/tools/nb-standin/demo-accounts.txt"
inst="$NB_TMP/game"
nb_login_install "$inst"
cd "$inst"
export NB_VD_QUIET=1

./NbLauncher.exe "WEB first last" > launcher.out 2>&1 || fail "the installed launcher failed: $(cat launcher.out)"
main="$(nb_wait_window 1000x692 NorbelrokOnline)" || fail "no main window: $(cat log1.txt)"
grep -aq 'cmd2==strToken' log1.txt || fail "the copy did not receive the token"

# Without a server the token changes nothing: message 17.
nb_click_in "$main" $NB_AT_START
nb_expect_message 17

nb_click_in "$main" $(nb_at_grid 0)
nb_click_in "$main" $NB_AT_START
nb_wait_for '[ -s vd-args.txt ]' 15 || fail "the game client was not started: $(tail -5 log1.txt)"
nb_wait_gone "$main" 10 || fail "the main window stayed open"
nb_wait_for '! nb_launcher_running "$inst"' 10 || fail "the launcher did not end"

mapfile -t args < vd-args.txt
expected=("dev:$(nb_gbk 昆仑)" "127.0.0.1:7011" "first" "last")
[ "${args[*]}" = "${expected[*]}" ] || fail "game client arguments: $(cat vd-args.txt)"
start="$inst/Vd.exe dev:$(nb_gbk 昆仑) 127.0.0.1:7011 "
grep -aqF "___strStartVd = ${start}first  last" log1.txt || fail "command line: $(grep -a strStartVd log1.txt)"
grep -aq "GET /interface" "$NB_TMP/requests.log" && fail "the account service was asked"
[ -e LoginRes.xml ] && grep -aq "<result>" LoginRes.xml && fail "a login reply was written"
pass "a WEB token starts the game from the start button"
