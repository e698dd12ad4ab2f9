#!/usr/bin/env bash
# The skinned windows under a real window manager (openbox on the test's own X server): the
# main window and the update window are ordinary windows with a task-bar entry; the main
# window minimises from a click on the right edge of its minimise orb (where the close
# button's rectangle overlaps it) and comes back with its panels; the update window's panels
# stay hidden while it is minimised, although it repaints twice a second, and return with it.
source "$(dirname "$0")/lib.sh" "$1"
source "$(dirname "$0")/login_lib.sh"
export NB_WEB_PANELS=0 NB_VD_QUIET=1
nb_start_xvfb

# openbox keeps its settings and caches under the test's folder.
mkdir -p "$NB_TMP/home"
HOME="$NB_TMP/home" XDG_CONFIG_HOME="$NB_TMP/home/.config" XDG_CACHE_HOME="$NB_TMP/home/.cache" \
  openbox --sm-disable > "$NB_TMP/openbox.log" 2>&1 &
NB_PIDS+=($!)
nb_wait_for "xprop -root _NET_SUPPORTING_WM_CHECK 2> /dev/null | grep -q 'window id'" 15 ||
  fail "openbox did not start: $(cat "$NB_TMP/openbox.log")"
pass "openbox manages the display"

hex() { printf '0x%x' "$1"; }
net_state() { xprop -id "$1" _NET_WM_STATE 2> /dev/null || true; }
hidden() { net_state "$1" | grep -q _NET_WM_STATE_HIDDEN; }

# expect_task_bar_window WINDOW: an ordinary window that a task bar lists.
expect_task_bar_window() {
  local w="$1" type
  type="$(xprop -id "$w" _NET_WM_WINDOW_TYPE 2> /dev/null || true)"
  echo "$type" | grep -q _NET_WM_WINDOW_TYPE_NORMAL || fail "window type: $type"
  echo "$type" | grep -q _NET_WM_WINDOW_TYPE_DIALOG && fail "a dialog-type window: $type"
  net_state "$w" | grep -q _NET_WM_STATE_SKIP_TASKBAR && fail "kept off the task bar: $(net_state "$w")"
  xprop -root _NET_CLIENT_LIST | grep -qw "$(hex "$w")" || fail "not among the managed windows"
  return 0
}

# ---- the main window ----
nb_make_site "$NB_TMP/site" 1000 1.0.0
nb_start_standin "$NB_TMP/site"
inst="$NB_TMP/game"
nb_login_install "$inst"
nb_run_launcher "$inst" "$NB_TMP/main.out"
main="$(nb_wait_window 1000x692 NorbelrokOnline 30)" || fail "no main window: $(cat "$NB_TMP/main.out")"
nb_wait_window 160x389 "" 10 > /dev/null || fail "no picture panel: $(nb_window_list)"
expect_task_bar_window "$main"
pass "the main window is an ordinary window on the task bar"

# The right edge of the minimise orb lies under the close button's rectangle.
nb_click_in "$main" 826 50
nb_wait_for "hidden $main" 10 || fail "not minimised: $(net_state "$main")"
nb_launcher_running "$inst" || fail "the click ended the launcher"
nb_wait_for "! nb_find_window 160x389 > /dev/null" 10 || fail "a panel shows while the main window is minimised"
pass "the minimise orb's right edge minimises; the panel goes with the window"

xdotool windowactivate "$main" 2> /dev/null || true
nb_wait_for "! hidden $main" 10 || fail "not restored: $(net_state "$main")"
nb_wait_window 1000x692 NorbelrokOnline 10 > /dev/null || fail "the main window is not back"
nb_wait_window 160x389 "" 10 > /dev/null || fail "the panel is not back: $(nb_window_list)"
pass "restored with its panel"

nb_click_in "$main" 850 58
nb_wait_launcher_end "$inst" 20 || fail "the close button did not end the launcher"
nb_stop_standin

# ---- the update window ----
mkdir -p "$NB_TMP/game10" "$NB_TMP/game11"
echo "build 10" > "$NB_TMP/game10/data.txt"
head -c 3000000 /dev/urandom > "$NB_TMP/game11/big.bin"
nb_make_site "$NB_TMP/site2" 11 1.0.11
"$NB_BUILD/nb-mkpatch" -q --bfrom 10 --bto 11 --final-version 1.0.11 -o "$NB_TMP/site2/patch/NBRK11.nbupd" \
  "$NB_TMP/game10" "$NB_TMP/game11"
# Slow enough that the window stays for the whole check.
nb_start_standin "$NB_TMP/site2" --rate 50000 --fault-path /patch/
inst2="$NB_TMP/game2"
nb_make_install "$inst2" 10 1.0.10
nb_run_launcher "$inst2" "$NB_TMP/update.out"
update="$(nb_wait_window 1000x692 "NorbelrokOnline 1" 30)" || fail "no update window: $(cat "$NB_TMP/update.out")"
nb_wait_for "nb_find_window 422x353 > /dev/null && nb_find_window 160x389 > /dev/null" 10 ||
  fail "the update window's panels are not shown: $(nb_window_list)"
expect_task_bar_window "$update"
pass "the update window is an ordinary window on the task bar"

xdotool windowminimize "$update"
nb_wait_for "hidden $update" 10 || fail "the update window did not minimise: $(net_state "$update")"
nb_wait_for "! nb_find_window 160x389 > /dev/null && ! nb_find_window 422x353 > /dev/null" 10 ||
  fail "the panels stay while the window is minimised: $(nb_window_list)"
# The window's timer repaints it twice a second and leaves no trace outside the process, so
# the panels are watched without a break for at least two seconds (four repaints).
nb_wait_for "nb_find_window 160x389 > /dev/null || nb_find_window 422x353 > /dev/null" 3 &&
  fail "a panel came back while the window is minimised: $(nb_window_list)"
pass "minimised, its repaints bring no panel back"

xdotool windowactivate "$update" 2> /dev/null || true
nb_wait_for "! hidden $update" 10 || fail "the update window was not restored: $(net_state "$update")"
nb_wait_for "nb_find_window 422x353 > /dev/null && nb_find_window 160x389 > /dev/null" 10 ||
  fail "the panels are not back: $(nb_window_list)"
pass "restored with both panels"

nb_click_in "$update" 850 58
nb_wait_launcher_end "$inst2" 20 || fail "the update window's close button did not end the launcher"
pass "window manager checks done"
