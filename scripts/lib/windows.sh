# The Windows stage of scripts/test.sh: the MinGW-w64 cross build in build-win/, its unit
# tests under Wine with the ANSI code page 936 and again with 1252, the launcher's patch cycle
# and the whole run with its windows under Wine and Xvfb against the Linux stand-in, and the
# installer. Sourced after common.sh.

NB_WIN_BUILD="${NB_WIN_BUILD:-$NB_ROOT/build-win}"
# The Windows launcher's stand-in gets a port of its own, so it never meets the Linux tests'
# (another one from the environment, for runs side by side).
NB_WIN_HOST="${NB_WIN_HOST:-127.0.0.1:18631}"

# One wineserver for a whole run: each program start then costs hundredths of a second
# instead of seconds. The prefix lives inside the build folder and is made afresh.
nb_wine_env() {
  export WINEPREFIX="$NB_WIN_BUILD/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
  # Wine takes the ANSI code page from the locale's name (zh_CN: 936) but converts file
  # names with the C library's locale, which must exist for Chinese names to reach the
  # disk: one is made inside the build folder rather than in the system.
  export LOCPATH="$NB_WIN_BUILD/locale"
  if [ ! -e "$LOCPATH/zh_CN.UTF-8" ]; then
    mkdir -p "$LOCPATH"
    localedef -i zh_CN -f UTF-8 "$LOCPATH/zh_CN.UTF-8"
  fi
  if [ ! -e "$LOCPATH/C.UTF-8" ]; then ln -s /usr/lib/locale/C.utf8 "$LOCPATH/C.UTF-8"; fi
}

nb_wine_start() {
  LC_ALL="$1" wineserver -p
  LC_ALL="$1" wine cmd /c exit
}

nb_wine_stop() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
}

# nb_win_step NAME: ends the step before (printing its wall time) and starts the next; the
# stage's parts are timed apart so that the build and the runs under Wine can be told apart.
NB_WIN_STEP=""
NB_WIN_STEP_START=0
nb_win_step() {
  if [ -n "$NB_WIN_STEP" ]; then echo "== Windows stage, $NB_WIN_STEP: $((SECONDS - NB_WIN_STEP_START))s"; fi
  NB_WIN_STEP="$1"
  NB_WIN_STEP_START=$SECONDS
}

nb_windows_stage() {
  nb_win_step "cross build"
  cmake -S "$NB_ROOT" -B "$NB_WIN_BUILD" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$NB_ROOT/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DNB_CONFIG_HOST="$NB_WIN_HOST" -DNB_PORTAL_HOST="$NB_WIN_HOST" \
    -DNB_ACCOUNT_HOST="$NB_WIN_HOST"
  cmake --build "$NB_WIN_BUILD" -j"$(nproc)"
  # Only system DLLs: the program must run on a bare Windows.
  local dlls
  dlls="$(x86_64-w64-mingw32-objdump -p "$NB_WIN_BUILD/NbLauncher.exe" | sed -n 's/.*DLL Name: //p' | tr '\n' ' ')"
  echo "NbLauncher.exe imports: $dlls"
  if echo "$dlls" | grep -qiE 'libstdc|libgcc|libwinpthread|zlib|libz'; then
    echo "NbLauncher.exe needs a non-system DLL" >&2
    return 1
  fi

  nb_win_step "fresh Wine prefix"
  nb_wine_env
  nb_wine_stop
  rm -rf "$WINEPREFIX"
  LC_ALL=zh_CN.UTF-8 wineboot -i > /dev/null 2>&1
  wineserver -w
  trap 'nb_wine_stop' EXIT

  # The code page follows the locale the wineserver starts under: one server per locale.
  local locale
  for locale in zh_CN.UTF-8 C.UTF-8; do
    nb_win_step "unit tests under Wine, LC_ALL=$locale"
    nb_wine_start "$locale"
    # One at a time: the process tests place their child program beside the test binary.
    LC_ALL="$locale" ctest --test-dir "$NB_WIN_BUILD" --output-on-failure -L unit
    nb_wine_stop
  done

  # Each run with windows starts a wineserver of its own under its own X server and ends it.
  nb_win_step "the Windows launcher's patch cycle under Wine"
  LC_ALL=zh_CN.UTF-8 bash "$NB_ROOT/tests/windows/patch_cycle_test.sh" "$NB_BUILD" "$NB_WIN_BUILD"
  nb_win_step "the repair under Wine"
  LC_ALL=zh_CN.UTF-8 bash "$NB_ROOT/tests/windows/repair_test.sh" "$NB_BUILD" "$NB_WIN_BUILD"
  nb_win_step "the whole run under Wine"
  LC_ALL=zh_CN.UTF-8 timeout 300 bash "$NB_ROOT/tests/ui/wine/wine_run_test.sh" "$NB_BUILD" "$NB_WIN_BUILD"
  nb_win_step "the installer under Wine"
  # The installer check waits for the wineserver to end after each step, which a persistent
  # one never does: it runs on a server of its own.
  nb_wine_stop
  LC_ALL=zh_CN.UTF-8 timeout 300 bash "$NB_ROOT/installer/install_test.sh" "$NB_WIN_BUILD"
  nb_wine_stop
  nb_win_step ""
  trap - EXIT
  rm -rf "$WINEPREFIX"
}
