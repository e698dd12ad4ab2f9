#!/usr/bin/env bash
# The Windows launcher under Wine, without windows yet: started plainly in an installation
# two builds behind, it relaunches through its copy, fetches the zone list from the Linux
# stand-in, applies both patches one run each, and records the installation folder in the
# registry. Usage: patch_cycle_test.sh LINUX-BUILD WINDOWS-BUILD (Wine's environment set).
source "$(dirname "$0")/../e2e/lib.sh" "$1"
NB_WIN_BUILD="$(cd "${2:?Windows build folder}" && pwd)"
# The Windows launcher keeps its installation record in the registry of the Wine prefix.
unset NB_MACHINE_SETTINGS

for b in 10 11 12; do mkdir -p "$NB_TMP/game$b"; echo "build $b" > "$NB_TMP/game$b/data.txt"; done
head -c 300000 /dev/urandom > "$NB_TMP/game11/big.bin"
cp "$NB_TMP/game11/big.bin" "$NB_TMP/game12/big.bin"
site="$NB_TMP/site"
nb_make_site "$site" 12 1.0.12
"$NB_BUILD/nb-mkpatch" -q --bfrom 10 --bto 11 --final-version 1.0.11 -o "$site/patch/NBRK11.nbupd" \
  "$NB_TMP/game10" "$NB_TMP/game11"
"$NB_BUILD/nb-mkpatch" -q --bfrom 11 --bto 12 --final-version 1.0.12 -o "$site/patch/NBRK12.nbupd" \
  "$NB_TMP/game11" "$NB_TMP/game12"
requests() { grep -c "^GET $1 " "$NB_TMP/requests.log" || true; }
# Wine names the programs by their Windows path, which holds this test's own folder.
wine_launchers_running() { pgrep -f -- "$(basename "$NB_TMP")" > /dev/null; }

nb_start_standin "$site"
# A folder with a Chinese name (电信区) and a blank: paths reach the system as UTF-16.
inst="$NB_TMP/电信区 game"
nb_make_install "$inst" 10 1.0.10
cp "$NB_WIN_BUILD/NbLauncher.exe" "$inst/NbLauncher.exe"
cp "$NB_TMP/game10/data.txt" "$inst/"
wine reg delete 'HKLM\Software\Ploxa\Nb' /f > /dev/null 2>&1 || true
(cd "$inst" && exec wine ./NbLauncher.exe > "$NB_TMP/run.out" 2>&1 &)

nb_wait_for "grep -q '^build=12' '$inst/nbnversion.vsn'" 120 ||
  fail "not updated: $(cat "$inst/nbnversion.vsn"; tail -5 "$inst/log1.txt" 2>/dev/null; cat "$NB_TMP/run.out")"
nb_wait_for "[ \"\$(grep -c -- '-----LCS_OK-----' '$inst/log1.txt')\" = 3 ]" 60 ||
  fail "expected three launcher runs: $(grep -c -- '-----LCS_OK-----' "$inst/log1.txt")"
nb_wait_for "! wine_launchers_running" 60 || fail "a launcher keeps running"
grep -q '^ver=1.0.12' "$inst/nbnversion.vsn" || fail "version text not rewritten"
[ "$(cat "$inst/data.txt")" = "build 12" ] || fail "data.txt not patched"
cmp -s "$inst/big.bin" "$NB_TMP/game12/big.bin" || fail "big.bin not extracted"
[ -e "$inst/_NbLauncher.bin" ] || fail "no relaunch copy"
[ "$(requests /norbel_xml/zonelist.xml)" = 3 ] || fail "zone list fetched $(requests /norbel_xml/zonelist.xml) times"
[ "$(requests /patch/NBRK11.nbupd)" = 1 ] || fail "NBRK11 fetched $(requests /patch/NBRK11.nbupd) times"
[ "$(requests /patch/NBRK12.nbupd)" = 1 ] || fail "NBRK12 fetched $(requests /patch/NBRK12.nbupd) times"
[ "$(grep -c 'cmd.m_strFileName.GetLength() = 0' "$inst/log1.txt")" = 3 ] ||
  fail "every run should start from the installed launcher and relaunch through the copy"
pass "two patches applied under Wine, build 12 installed"

# The registry value is the folder as Windows names it, ending in a backslash.
stored="$(wine reg query 'HKLM\Software\Ploxa\Nb' /v InstalledPath 2>/dev/null | tr -d '\r' |
  sed -n 's/^ *InstalledPath *REG_SZ *//p')"
expected="Z:$(printf '%s' "$inst" | tr '/' '\\')\\"
[ "$stored" = "$expected" ] || fail "InstalledPath is '$stored', expected '$expected'"
pass "installation folder recorded in the registry"
