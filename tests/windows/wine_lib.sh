# For the tests of the Windows launcher under Wine, on top of lib.sh: an X server of the
# test's own and a wineserver started under it. Wine's desktop process belongs to the display
# the server first met, so a server left from before (on no display or another one) is ended
# first; the one started here stays for the whole test, so that each program start is quick.
nb_wine_on_own_display() {
  nb_start_xvfb
  wineserver -k 2> /dev/null || true
  wineserver -w 2> /dev/null || true
  wineserver -p
  trap 'wineserver -k 2> /dev/null || true; nb_cleanup' EXIT
}
