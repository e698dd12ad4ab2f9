#!/usr/bin/env bash
# The installed launcher, started without an argument, copies itself to "_NbLauncher.bin",
# starts the copy with the built-in zone-list address and ends; both write their trace lines.
source "$(dirname "$0")/lib.sh" "$1"
export QT_QPA_PLATFORM=offscreen

inst="$NB_TMP/My Game"   # a blank in the folder must not split the program path
nb_make_install "$inst" 3 1.0.3
cd "$inst"
./NbLauncher.exe; rc=$?
[ "$rc" -eq 0 ] || fail "first instance exit status $rc"
[ -x _NbLauncher.bin ] || fail "no executable copy"
cmp -s NbLauncher.exe _NbLauncher.bin || fail "copy differs"
nb_wait_for 'grep -q -- "-----LCS_OK-----" log1.txt' 10 || fail "the copy never ran: $(cat log1.txt)"
expected="strlocSet==SimpChinese
cmd1==
cmd.m_strFileName.GetLength() = 0 
strPath = $inst/strlocSet==SimpChinese
cmd1==http://127.0.0.1:18620/norbel_xml/zonelist.xml
-------str = http://127.0.0.1:18620/norbel_xml/zonelist.xml 
-----LCS_OK-----"
head -c ${#expected} log1.txt | diff <(printf '%s' "$expected") - || fail "trace lines differ"
grep -q "InstalledPath=$inst/" "$NB_MACHINE_SETTINGS" || fail "installation path not registered"
pass "relaunch through _NbLauncher.bin"

# Without the strings file nothing else happens: no copy, no log line.
rm -f _NbLauncher.bin log1.txt nblocalstr.ini
# The message dialog waits for a click that never comes here; the timeout ends it.
timeout 3 ./NbLauncher.exe 2>/dev/null || true
[ ! -e _NbLauncher.bin ] || fail "copied although a local file is missing"
pass "missing strings file ends start-up"
