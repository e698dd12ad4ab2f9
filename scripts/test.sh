#!/usr/bin/env bash
# Builds the launcher and its tools into build/ and runs every test.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"

nb_install_packages
nb_build -DCMAKE_BUILD_TYPE=RelWithDebInfo

echo "== unit, widget and end-to-end tests"
ctest --test-dir "$NB_BUILD" --output-on-failure -j2 -L 'unit|ui'
ctest --test-dir "$NB_BUILD" --output-on-failure -L e2e
