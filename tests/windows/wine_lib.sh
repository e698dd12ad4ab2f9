# For the tests of the Windows launcher under Wine, on top of lib.sh: an X server of the
# test's own and a wineserver started under it. Wine's desktop process belongs to the display
# the server first met, so a server left from before (on no display or another one) is ended
# first; the one started here stays for the whole test, so that each program start is quick.
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
