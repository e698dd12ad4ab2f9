# Shared by scripts/test.sh and scripts/demo.sh: Debian packages and the build.

NB_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
NB_BUILD="${NB_BUILD:-$NB_ROOT/build}"

# Everything the build, the tests and the demo need, all from Debian's archive.
NB_PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev libqt6opengl6-dev
  libcurl4-openssl-dev libtinyxml2-dev libminizip-dev zlib1g-dev libssl-dev
  libcpp-httplib-dev libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xdotool x11-utils imagemagick fonts-liberation fonts-wqy-microhei
  nginx curl unzip zip
)

nb_as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

nb_install_packages() {
  local missing=()
  for p in "${NB_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "== installing: ${missing[*]}"
    nb_as_root apt-get update
    DEBIAN_FRONTEND=noninteractive nb_as_root apt-get install -y --no-install-recommends "${missing[@]}"
  fi
}

nb_build() {
  cmake -S "$NB_ROOT" -B "$NB_BUILD" -G Ninja "$@"
  cmake --build "$NB_BUILD" -j"$(nproc)"
}
