#!/usr/bin/env bash
# Builds the launcher and its tools into build/ (Release, as operators build it) and runs
# every test. Each stage is one function, run by nb_stage, which prints its wall time.
#   NB_QUICK=1 scripts/test.sh    packages, build and the tests of build/ only
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"

stage_packages() {
  nb_install_packages
  nb_check_commands
}

# Each host role on a port of its own, so that an end-to-end test fails when the launcher
# asks one role's host for another role's document.
stage_build() {
  nb_build -DCMAKE_BUILD_TYPE=Release -DNB_CONFIG_HOST=127.0.0.1:18621 -DNB_PORTAL_HOST=127.0.0.1:18622 \
    -DNB_ACCOUNT_HOST=127.0.0.1:18623
}

stage_tests() {
  echo "== unit and widget tests"
  ctest --test-dir "$NB_BUILD" --output-on-failure -j2 -L 'unit|ui'
  # One at a time: the end-to-end tests drive real windows and the launcher's fixed ports.
  echo "== end-to-end tests"
  ctest --test-dir "$NB_BUILD" --output-on-failure -L e2e
}

stage_asan() {
  echo "== unit and widget tests under AddressSanitizer and UndefinedBehaviorSanitizer"
  NB_ASAN_BUILD="${NB_ASAN_BUILD:-$NB_ROOT/build-asan}"
  NB_TARGETS="nb_unit_tests nb_ui_tests nb-standin nb-mkpatch" nb_build_tree "$NB_ASAN_BUILD" \
    -DCMAKE_BUILD_TYPE=Debug -DNB_WITH_WEBENGINE=OFF \
    -DCMAKE_C_FLAGS="$NB_ASAN_FLAGS" -DCMAKE_CXX_FLAGS="$NB_ASAN_FLAGS" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined"
  ctest --test-dir "$NB_ASAN_BUILD" --output-on-failure -j2 -L 'unit|ui'
}

stage_tsan() {
  echo "== core tests under ThreadSanitizer"
  NB_TSAN_BUILD="${NB_TSAN_BUILD:-$NB_ROOT/build-tsan}"
  NB_TARGETS="nb_unit_tests nb-standin nb-mkpatch" nb_build_tree "$NB_TSAN_BUILD" \
    -DCMAKE_BUILD_TYPE=Debug -DNB_BUILD_UI=OFF \
    -DCMAKE_C_FLAGS="$NB_TSAN_FLAGS" -DCMAKE_CXX_FLAGS="$NB_TSAN_FLAGS" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread"
  nb_without_aslr ctest --test-dir "$NB_TSAN_BUILD" --output-on-failure -j2 -L unit
}

stage_fuzz() {
  echo "== fuzz targets, ${NB_FUZZ_SECONDS:-20} seconds each"
  "$NB_ROOT/fuzz/run.sh" --seconds "${NB_FUZZ_SECONDS:-20}"
}

nb_stage "packages and commands" stage_packages
nb_stage "Release build" stage_build
nb_stage "unit, widget and end-to-end tests" stage_tests
# A developer's quick round stops here; CI runs the sanitizer builds, the fuzz targets and
# the Windows stage too.
if [ "${NB_QUICK:-0}" != 1 ]; then
  nb_sanitizer_env
  nb_stage "AddressSanitizer + UndefinedBehaviorSanitizer" stage_asan
  nb_stage "ThreadSanitizer" stage_tsan
  nb_stage "fuzzing" stage_fuzz
  if [ "${NB_SKIP_WINDOWS:-0}" != 1 ]; then
    source "$NB_ROOT/scripts/lib/windows.sh"
    nb_stage "Windows build and tests under Wine" nb_windows_stage
  fi
fi
nb_section_summary
