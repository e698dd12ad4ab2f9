#!/usr/bin/env bash
# The Windows launcher under Wine, its update window on an X server of the test's own: started
# plainly in an installation two builds behind, it relaunches through its copy, fetches the
# zone list from the Linux stand-in, applies both patches one run each, and records the
# installation folder in the registry.
# Usage: patch_cycle_test.sh LINUX-BUILD WINDOWS-BUILD (Wine's environment set).
source "$(dirname "$0")/../e2e/lib.sh" "$1"
source "$NB_SRC/tests/windows/wine_lib.sh"
nb_wine_build "${2:-}"
nb_wine_on_own_display
site="$NB_TMP/site"
nb_make_patch_chain "$site"
# Wine names the programs by their Windows path, which holds this test's own folder.
wine_launchers_running() { pgrep -f -- "$(basename "$NB_TMP").*NbLauncher" > /dev/null; }

nb_start_standin "$site"
# A folder with a Chinese name (电信区) and a blank: paths reach the system as UTF-16.
inst="$NB_TMP/电信区 game"
nb_make_install "$inst" 10 1.0.10 "$NB_WIN_BUILD/NbLauncher.exe"
cp "$NB_TMP/game10/data.txt" "$inst/"
(cd "$inst" && exec wine ./NbLauncher.exe > "$NB_TMP/run.out" 2>&1 &)

nb_wait_for "grep -q '^build=12' '$inst/nbnversion.vsn'" 60 ||
  fail "not updated: $(cat "$inst/nbnversion.vsn"; tail -5 "$inst/log1.txt" 2>/dev/null; cat "$NB_TMP/run.out"; cat "$NB_TMP/requests.log")"
nb_wait_for "[ \"\$(grep -c -- '-----LCS_OK-----' '$inst/log1.txt')\" = 3 ]" 60 ||
  fail "expected three launcher runs: $(grep -c -- '-----LCS_OK-----' "$inst/log1.txt")"
# The run that finds the installation up to date shows the main window; its close button ends it.
main="$(nb_wait_window 1000x692 NorbelrokOnline 60)" || fail "no main window after the patches: $(nb_window_list)"
nb_click_in "$main" 850 58
nb_wait_for "! wine_launchers_running" 60 || fail "a launcher keeps running"
grep -q '^ver=1.0.12' "$inst/nbnversion.vsn" || fail "version text not rewritten"
cmp -s "$inst/data.txt" "$NB_TMP/game12/data.txt" || fail "data.txt not patched: $(cat "$inst/data.txt")"
cmp -s "$inst/big.bin" "$NB_TMP/game12/big.bin" || fail "big.bin not extracted"
cmp -s "$inst/_NbLauncher.bin" "$NB_WIN_BUILD/NbLauncher.exe" || fail "no relaunch copy of the launcher"
[ "$(nb_requests /norbel_xml/zonelist.xml)" = 3 ] || fail "zone list fetched $(nb_requests /norbel_xml/zonelist.xml) times"
[ "$(nb_requests /patch/NBRK11.nbupd)" = 1 ] || fail "NBRK11 fetched $(nb_requests /patch/NBRK11.nbupd) times"
[ "$(nb_requests /patch/NBRK12.nbupd)" = 1 ] || fail "NBRK12 fetched $(nb_requests /patch/NBRK12.nbupd) times"
[ "$(grep -c 'cmd.m_strFileName.GetLength() = 0' "$inst/log1.txt")" = 3 ] ||
  fail "every run should start from the installed launcher and relaunch through the copy"
pass "two patches applied under Wine, build 12 installed"

# The registry value is the folder as Windows names it, ending in a backslash (exported as
# UTF-16, so the Chinese name is compared exactly; the export doubles each backslash).
wine regedit /E "$NB_TMP/nb.reg" 'HKEY_LOCAL_MACHINE\Software\Ploxa\Nb' || fail "no registry key"
stored="$(iconv -f UTF-16 -t UTF-8 "$NB_TMP/nb.reg" | tr -d '\r' | sed -n 's/^"InstalledPath"="\(.*\)"$/\1/p')"
expected="Z:$(printf '%s/' "$inst" | sed 's|/|\\\\|g')"
[ "$stored" = "$expected" ] || fail "InstalledPath is '$stored', expected '$expected'"
pass "installation folder recorded in the registry"
