# For the tests of the Windows launcher under Wine, on top of lib.sh: an X server of the
# test's own and a wineserver started under it. Wine's desktop process belongs to the display
# the server first met, so a server left from before (on no display or another one) is ended
# first; the one started here stays for the whole test, so that each program start is quick.
# nb_wine_build WINDOWS-BUILD: sets NB_WIN_BUILD, and the hosts the stand-ins play to the
# Windows build's (which need not be the Linux build's: the launcher under test is the Windows
# one); the installation record goes to the prefix's registry, not to a settings file.
nb_wine_build() {
  NB_WIN_BUILD="$(cd "${1:?Windows build folder}" && pwd)"
  unset NB_MACHINE_SETTINGS
  source "$NB_WIN_BUILD/nb-hosts.sh"
  local host
  for host in "$NB_CONFIG_HOST" "$NB_PORTAL_HOST" "$NB_ACCOUNT_HOST"; do
    [[ "$host" =~ ^127\.0\.0\.1:[0-9]+$ ]] || fail "the Windows build's host $host is not on loopback"
  done
  NB_ZONE_LIST_URL="http://$NB_CONFIG_HOST/norbel_xml/zonelist.xml"
}

nb_wine_on_own_display() {
  # Whoever started the test: Wine must never offer to download its .NET or HTML engine (the
  # launcher's web panels ask for the latter), so both stay switched off.
  export WINEDLLOVERRIDES="mscoree=;mshtml="
  nb_start_xvfb
  wineserver -k 2> /dev/null || true
  wineserver -w 2> /dev/null || true
  wineserver -p
  NB_WINE_STARTED=$SECONDS
  trap 'nb_wine_exit' EXIT
}

# The test's time is printed: the Windows stage has a budget.
nb_wine_exit() {
  echo "$(basename "$0") took $((SECONDS - NB_WINE_STARTED))s"
  wineserver -k 2> /dev/null || true
  nb_cleanup
}

# nb_wine_fonts: the faces the windows ask for, which a fresh prefix lacks: the window face and
# the Chinese face as replacements, and the Chinese face linked behind the window face, as
# font linking gives Chinese characters (and the full-width forms) to "Times New Roman" on a
# Chinese Windows.
nb_wine_fonts() {
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Times New Roman' /d 'Liberation Serif' /f > /dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v SimSun /d 'WenQuanYi Micro Hei' /f > /dev/null 2>&1
  local face
  for face in 'Times New Roman' 'Liberation Serif'; do
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v "$face" \
      /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f > /dev/null 2>&1
  done
}
