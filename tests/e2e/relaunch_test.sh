#!/usr/bin/env bash
# The installed launcher, started without an argument, asks the control document whether it
# may run, copies itself to "_NbLauncher.bin", starts the copy with the built-in zone-list
# address and ends; both write their trace lines.
source "$(dirname "$0")/lib.sh" "$1"
export QT_QPA_PLATFORM=offscreen NB_WEB_PANELS=0

site="$NB_TMP/site"
nb_make_site "$site" 3 1.0.3
nb_start_standin "$site"

inst="$NB_TMP/My Game"   # a blank in the folder must not split the program path
nb_make_install "$inst" 3 1.0.3
cd "$inst"
./NbLauncher.exe; rc=$?
[ "$rc" -eq 0 ] || fail "first instance exit status $rc"
[ -x _NbLauncher.bin ] || fail "no executable copy"
cmp -s NbLauncher.exe _NbLauncher.bin || fail "copy differs"
nb_wait_for 'grep -q -- "-----LCS_OK-----" log1.txt' 10 || fail "the copy never ran: $(cat log1.txt)"
expected="strlocSet==SimpChinese
m_strTmpFileName = ./LoginRes.xml.dlhalf!
strAgentCaption = Update Download LoginRes.xml
cmd1==
cmd.m_strFileName.GetLength() = 0 
strPath = $inst/strlocSet==SimpChinese
m_strTmpFileName = ./LoginRes.xml.dlhalf!
strAgentCaption = Update Download LoginRes.xml
cmd1==$NB_ZONE_LIST_URL
-------str = $NB_ZONE_LIST_URL 
-----LCS_OK-----"
head -c ${#expected} log1.txt | diff <(printf '%s' "$expected") - || fail "trace lines differ"
grep -q "InstalledPath=$inst/" "$NB_MACHINE_SETTINGS" || fail "installation path not registered"
pass "relaunch through _NbLauncher.bin"

# The copy goes on to the zone list; whatever window it opens is not looked at here.
nb_wait_for 'grep -q "zonelist.xml" "$NB_TMP/requests.log"' 10 || fail "the copy did not fetch the zone list"
nb_expect_host /download/control.xml "$NB_PORTAL_HOST"
nb_expect_host /norbel_xml/zonelist.xml "$NB_CONFIG_HOST"
# The copy went on past the zone list (its state after the fetch, not a crash, is what the
# main-window tests look at); it is still running and ends on a plain kill.
nb_wait_for '[ -e zonelist.xml ]' 10 ||
  fail "the copy did not keep the zone list"
pids="$(nb_launcher_pids "$inst")"
[ -n "$pids" ] || fail "the copy ended by itself after the zone list: $(tail -3 log1.txt)"
kill $pids
nb_wait_for "! nb_launcher_running '$inst'" 10 || fail "launcher did not end"

# A control document that does not let this launcher run: the previous client starts instead.
rm -f _NbLauncher.bin log1.txt
: > "$NB_TMP/requests.log"
printf '#!/bin/sh\necho started > "$(dirname "$0")/old-client-ran"\n' > LumoOld.exe
chmod +x LumoOld.exe
printf '<?xml version="1.0"?>\n<control><type value="1"/></control>\n' > "$site/download/control.xml"
./NbLauncher.exe || fail "launcher failed with the other client"
nb_wait_for '[ -e old-client-ran ]' 10 || fail "the previous client was not started"
[ ! -e _NbLauncher.bin ] || fail "copied although the other client runs"
pass "control document starts the previous client"
