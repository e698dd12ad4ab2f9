#!/usr/bin/env bash
# The installer under Wine: a silent install into a folder of our choice puts the launcher
# and its files there, records the folder in the registry, makes the shortcuts; the silent
# uninstall takes them away again. Usage: install_test.sh WINDOWS-BUILD (Wine's environment
# set, a prefix made).
set -euo pipefail
build="$(cd "${1:?Windows build folder}" && pwd)"
setup="$build/NbSetup.exe"
fail() { echo "FAIL: $*" >&2; exit 1; }
pass() { echo "ok: $*"; }
[ -f "$setup" ] || fail "no installer at $setup"
drive="$(winepath -u 'C:\' 2> /dev/null)"
[ -d "$drive" ] || fail "no drive C: in the prefix"
# NSIS takes the folder after /D= unquoted, so a name without blanks.
folder='C:\Games\NorbelrokTest'
unix="${drive%/}/Games/NorbelrokTest"
rm -rf "$unix"

wine "$setup" /S "/D=$folder"
wineserver -w
for f in NbLauncher.exe nblocalstr.ini nbnversion.vsn Uninstall.exe; do
  [ -f "$unix/$f" ] || fail "$f not installed: $(ls "$unix" 2> /dev/null)"
done
cmp -s "$unix/NbLauncher.exe" "$build/NbLauncher.exe" || fail "the installed launcher is not the build's"
stored="$(wine reg query 'HKLM\Software\Ploxa\Nb' /v InstalledPath 2> /dev/null | tr -d '\r' |
  sed -n 's/^ *InstalledPath *REG_SZ *//p')"
[ "$stored" = "$folder\\" ] || fail "InstalledPath is '$stored', expected '$folder\\'"
desktop="$(winepath -u "$(wine cmd /c 'echo %USERPROFILE%' 2> /dev/null | tr -d '\r')\\Desktop" 2> /dev/null)"
public="$(winepath -u "$(wine cmd /c 'echo %PUBLIC%' 2> /dev/null | tr -d '\r')\\Desktop" 2> /dev/null)"
ls "$desktop" "$public" 2> /dev/null | grep -q 'NorbelrokOnline.lnk' || fail "no desktop shortcut"
find "$drive" -path '*Start Menu*' -name 'NorbelrokOnline.lnk' 2> /dev/null | grep -q . || fail "no Start-menu shortcut"
pass "silent install: files, InstalledPath '$stored', shortcuts"

wine "$unix/Uninstall.exe" /S _?="$folder"
wineserver -w
[ ! -e "$unix/NbLauncher.exe" ] || fail "the launcher stays after the uninstall"
if wine reg query 'HKLM\Software\Ploxa\Nb' /v InstalledPath > /dev/null 2>&1; then
  fail "InstalledPath stays after the uninstall"
fi
pass "silent uninstall: files and record gone"
