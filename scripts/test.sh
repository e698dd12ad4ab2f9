#!/usr/bin/env bash
# Builds the launcher and its tools into build/ and runs every test.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"

nb_section "packages and build"
nb_install_packages
nb_build -DCMAKE_BUILD_TYPE=RelWithDebInfo

nb_section "unit, widget and end-to-end tests"
echo "== unit, widget and end-to-end tests"
ctest --test-dir "$NB_BUILD" --output-on-failure -j2 -L 'unit|ui'
# The end-to-end tests drive real windows under a shared X server; a run that loses a race to
# a loaded machine gets one more try, a real fault fails both.
ctest --test-dir "$NB_BUILD" --output-on-failure -L e2e --repeat until-pass:2

# NB_QUICK=1 stops here (a developer's quick round); CI runs the sanitizer builds and the
# fuzz targets below as well.
if [ "${NB_QUICK:-0}" = 1 ]; then nb_section_summary; exit 0; fi
nb_sanitizer_env

nb_section "AddressSanitizer + UndefinedBehaviorSanitizer"
echo "== unit and widget tests under AddressSanitizer and UndefinedBehaviorSanitizer"
NB_ASAN_BUILD="${NB_ASAN_BUILD:-$NB_ROOT/build-asan}"
NB_TARGETS="nb_unit_tests nb_ui_tests nb-standin nb-mkpatch" nb_build_tree "$NB_ASAN_BUILD" -DCMAKE_BUILD_TYPE=Debug -DNB_WITH_WEBENGINE=OFF \
  -DCMAKE_C_FLAGS="$NB_ASAN_FLAGS" -DCMAKE_CXX_FLAGS="$NB_ASAN_FLAGS" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined"
ctest --test-dir "$NB_ASAN_BUILD" --output-on-failure -j2 -L 'unit|ui'

nb_section "ThreadSanitizer"
echo "== core tests under ThreadSanitizer"
NB_TSAN_BUILD="${NB_TSAN_BUILD:-$NB_ROOT/build-tsan}"
NB_TARGETS="nb_unit_tests nb-standin nb-mkpatch" nb_build_tree "$NB_TSAN_BUILD" -DCMAKE_BUILD_TYPE=Debug -DNB_BUILD_UI=OFF \
  -DCMAKE_C_FLAGS="$NB_TSAN_FLAGS" -DCMAKE_CXX_FLAGS="$NB_TSAN_FLAGS" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread"
nb_without_aslr ctest --test-dir "$NB_TSAN_BUILD" --output-on-failure -j2 -L unit

nb_section "fuzzing"
echo "== fuzz targets, ${NB_FUZZ_SECONDS:-20} seconds each"
"$NB_ROOT/fuzz/run.sh" --seconds "${NB_FUZZ_SECONDS:-20}"

if [ "${NB_SKIP_WINDOWS:-0}" != 1 ]; then
  nb_section "Windows build and tests under Wine"
  source "$NB_ROOT/scripts/lib/windows.sh"
  nb_windows_stage
fi

nb_section_summary
