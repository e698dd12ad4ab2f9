# Helpers for the end-to-end tests: each test gets a temporary installation folder and
# cleans up every process it started. Source it with the build folder as $1.

set -euo pipefail
NB_BUILD="$(cd "${1:?build folder}" && pwd)"
NB_SRC="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
NB_TMP="$(mktemp -d /tmp/nbe2e.XXXXXX)"
NB_PIDS=()
export NB_MACHINE_SETTINGS="$NB_TMP/machine.ini"
export XDG_RUNTIME_DIR="$NB_TMP/xdg"; mkdir -p "$XDG_RUNTIME_DIR"; chmod 700 "$XDG_RUNTIME_DIR"

nb_cleanup() {
  local pid
  for pid in "${NB_PIDS[@]:-}"; do [ -n "$pid" ] && kill "$pid" 2>/dev/null || true; done
  pkill -f "$NB_TMP/" 2>/dev/null || true
  rm -rf "$NB_TMP"
}
trap nb_cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
pass() { echo "ok: $*"; }

# nb_make_install DIR BUILD VERSION: an installation with the launcher and the two local files.
nb_make_install() {
  local dir="$1" build="$2" ver="$3"
  mkdir -p "$dir"
  cp "$NB_BUILD/NbLauncher.exe" "$dir/NbLauncher.exe"
  printf '[VERSION]\r\nbuild=%s\r\nver=%s\r\n' "$build" "$ver" > "$dir/nbnversion.vsn"
  iconv -f UTF-8 -t CP936 "$NB_SRC/demo/nblocalstr.utf8.ini" > "$dir/nblocalstr.ini"
}

# nb_wait_for CONDITION [SECONDS]: polls a shell condition.
nb_wait_for() {
  local cond="$1" limit="${2:-10}" i
  for ((i = 0; i < limit * 20; i++)); do
    if eval "$cond"; then return 0; fi
    sleep 0.05
  done
  return 1
}
