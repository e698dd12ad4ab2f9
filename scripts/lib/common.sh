# Shared by scripts/test.sh and scripts/demo.sh: Debian packages and the build.

NB_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
NB_BUILD="${NB_BUILD:-$NB_ROOT/build}"

# Libraries, headers and fonts the build, the tests and the demo need, all from Debian's archive.
NB_PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev libqt6opengl6-dev
  libcurl4-openssl-dev libtinyxml2-dev zlib1g-dev libssl-dev ca-certificates
  libcpp-httplib-dev libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  fonts-liberation fonts-wqy-microhei
  # the Windows build (MinGW-w64, the -posix threading variant) and its tests under Wine
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  libz-mingw-w64-dev libgcrypt-mingw-w64-dev googletest wine wine64 fonts-wine nsis locales
)

# Every external command that scripts/, the tests (shell and C++ tests that spawn programs),
# the demo, the fuzz runner and the benchmarks run, as "command:package". A fresh Debian root
# lacks some of the "obvious" ones (pgrep, column, xwd), so each is listed with the package
# that brings it, and the check below names that package when a command is missing.
NB_COMMANDS=(
  # building
  cmake:cmake ctest:cmake ninja:ninja-build pkg-config:pkg-config
  cc:build-essential c++:build-essential make:build-essential
  clang:clang clang++:clang
  # the X server, input and screenshots of the end-to-end tests and the demo
  Xvfb:xvfb xdotool:xdotool xwd:x11-apps xmessage:x11-utils xprop:x11-utils convert:imagemagick import:imagemagick
  # loopback web servers and clients, archives
  nginx:nginx curl:curl unzip:unzip
  # the shell tools the scripts rely on
  bash:bash sh:dash env:coreutils cat:coreutils cp:coreutils mv:coreutils rm:coreutils
  mkdir:coreutils mktemp:coreutils ln:coreutils chmod:coreutils touch:coreutils head:coreutils
  tail:coreutils cut:coreutils tr:coreutils wc:coreutils sort:coreutils seq:coreutils
  stat:coreutils date:coreutils sleep:coreutils timeout:coreutils nproc:coreutils id:coreutils
  dirname:coreutils basename:coreutils readlink:coreutils sha256sum:coreutils md5sum:coreutils base64:coreutils
  ls:coreutils df:coreutils sync:coreutils uname:coreutils
  grep:grep sed:sed awk:mawk find:findutils cmp:diffutils diff:diffutils column:bsdextrautils
  iconv:libc-bin pgrep:procps pkill:procps setarch:util-linux
  dpkg-query:dpkg apt-get:apt
  # a window manager for the tests that minimise and restore
  openbox:openbox
  # the https tests' throw-away certificate authority
  openssl:openssl
  comm:coreutils dd:coreutils
  # the Windows stage
  wine:wine wineserver:wine wineboot:wine x86_64-w64-mingw32-objdump:binutils-mingw-w64-x86-64
  x86_64-w64-mingw32-dlltool:binutils-mingw-w64-x86-64
  locale:libc-bin localedef:libc-bin winepath:wine makensis:nsis x86_64-w64-mingw32-windres:binutils-mingw-w64-x86-64
)

# nb_command_packages: the package of every mapped command, once each.
nb_command_packages() {
  local entry
  for entry in "${NB_COMMANDS[@]}"; do echo "${entry#*:}"; done | sort -u
}

nb_as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

nb_install_packages() {
  local missing=() p
  for p in "${NB_PACKAGES[@]}" $(nb_command_packages); do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "== installing: ${missing[*]}"
    nb_as_root apt-get update
    DEBIAN_FRONTEND=noninteractive nb_as_root apt-get install -y --no-install-recommends "${missing[@]}"
  fi
}

# nb_check_commands: fails, naming each missing command and its package, unless every
# command of NB_COMMANDS is on the PATH. Runs before anything else uses them, so that a
# machine short of a package fails here and not halfway through a test.
nb_check_commands() {
  local entry missing=()
  for entry in "${NB_COMMANDS[@]}"; do
    command -v "${entry%%:*}" > /dev/null 2>&1 || missing+=("${entry%%:*} (package ${entry#*:})")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "missing commands:" >&2
    printf '  %s\n' "${missing[@]}" >&2
    return 1
  fi
}

nb_build() {
  cmake -S "$NB_ROOT" -B "$NB_BUILD" -G Ninja "$@"
  cmake --build "$NB_BUILD" -j"$(nproc)"
}

# ---- further build trees of the same sources (sanitizers, fuzzing, benchmarks) ----

# nb_build_tree DIR CMAKE-ARGS...: configures and builds one more tree beside build/; only
# the targets named in NB_TARGETS when it is set.
nb_build_tree() {
  local dir="$1"; shift
  cmake -S "$NB_ROOT" -B "$dir" -G Ninja "$@"
  local targets=()
  for t in ${NB_TARGETS:-}; do targets+=(--target "$t"); done
  # A tree built before new sources with Qt's generated includes arrived can keep stale
  # code-generation lists; they are made afresh once before giving up.
  cmake --build "$dir" -j"$(nproc)" "${targets[@]}" ||
    { find "$dir" -maxdepth 3 -type d -name '*_autogen' -prune -exec rm -rf {} +;
      cmake --build "$dir" -j"$(nproc)" "${targets[@]}"; }
}

# Sanitizer builds use GCC like the main build; -O1 keeps the stacks readable and the
# instrumented tests quick. The instrumentation makes GCC's flow analysis report
# uninitialised reads inside the standard library that are not there, hence the one
# warning turned off.
NB_ASAN_FLAGS="-O1 -g -fno-omit-frame-pointer -fsanitize=address,undefined -fno-sanitize-recover=all -Wno-maybe-uninitialized"
NB_TSAN_FLAGS="-O1 -g -fno-omit-frame-pointer -fsanitize=thread -Wno-maybe-uninitialized"

# Every finding fails the test that made it. The one suppression file covers a system
# library built without the instrumentation (see the file).
nb_sanitizer_env() {
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1:strict_string_checks=1"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$NB_ROOT/scripts/lib/tsan.supp"
}

# ThreadSanitizer's shadow memory does not fit every address-space layout newer kernels
# choose; a run without layout randomisation always fits.
nb_without_aslr() {
  if setarch "$(uname -m)" -R true 2>/dev/null; then setarch "$(uname -m)" -R "$@"; else "$@"; fi
}

# Wall time of each section of a script, printed as it ends and summed up at the end.
NB_SECTION_NAME=""
NB_SECTION_START=0
NB_SECTION_TIMES=()
nb_section() {
  nb_section_end
  NB_SECTION_NAME="$1"
  NB_SECTION_START=$SECONDS
}
nb_section_end() {
  if [ -n "$NB_SECTION_NAME" ]; then
    local took=$((SECONDS - NB_SECTION_START))
    NB_SECTION_TIMES+=("$(printf '%5ds  %s' "$took" "$NB_SECTION_NAME")")
    echo "== ${NB_SECTION_NAME}: ${took}s"
    NB_SECTION_NAME=""
  fi
}
# nb_stage NAME COMMAND...: runs one stage of a script as its own timed section.
nb_stage() {
  local name="$1"; shift
  nb_section "$name"
  echo "== stage: $name"
  "$@"
  nb_section_end
}
nb_section_summary() {
  nb_section_end
  echo "== wall time per section"
  printf '%s\n' "${NB_SECTION_TIMES[@]}"
  printf '%5ds  total\n' "$SECONDS"
}

# ---- nginx on loopback (benchmarks and fault tests) ----

# nb_start_nginx ROOT PREFIX: Debian's nginx serving ROOT on 127.0.0.1 at a free port, with
# its configuration, logs and temporary files under PREFIX. Sets NB_NGINX_PORT and
# NB_NGINX_PID. The access log ($PREFIX/access.log) has one line per request:
# "request status bytes_sent body_bytes_sent". One process, no daemon: the PID is the server.
nb_start_nginx() {
  local root="$1" prefix="$2" port attempt
  mkdir -p "$prefix/tmp"
  for attempt in 1 2 3 4 5 6 7 8; do
    port=$((20000 + RANDOM % 40000))
    [ "$port" -eq 18620 ] && continue
    cat > "$prefix/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
pid $prefix/nginx.pid;
error_log $prefix/error.log warn;
events { worker_connections 64; }
http {
  log_format nbbench '\$request \$status \$bytes_sent \$body_bytes_sent';
  access_log $prefix/access.log nbbench;
  default_type application/octet-stream;
  sendfile on;
  tcp_nopush on;
  client_body_temp_path $prefix/tmp/body;
  proxy_temp_path $prefix/tmp/proxy;
  fastcgi_temp_path $prefix/tmp/fastcgi;
  uwsgi_temp_path $prefix/tmp/uwsgi;
  scgi_temp_path $prefix/tmp/scgi;
  server {
    listen 127.0.0.1:$port;
    root $root;
  }
}
CONF
    nginx -p "$prefix" -c "$prefix/nginx.conf" -e "$prefix/error.log" 2>>"$prefix/error.log" &
    NB_NGINX_PID=$!
    local i
    for i in $(seq 1 100); do
      if curl -s -o /dev/null "http://127.0.0.1:$port/" 2>/dev/null; then
        NB_NGINX_PORT=$port
        return 0
      fi
      kill -0 "$NB_NGINX_PID" 2>/dev/null || break
      sleep 0.05
    done
    kill "$NB_NGINX_PID" 2>/dev/null || true
    wait "$NB_NGINX_PID" 2>/dev/null || true
  done
  echo "nginx did not start: $(tail -n 5 "$prefix/error.log")" >&2
  return 1
}

nb_stop_nginx() {
  if [ -n "${NB_NGINX_PID:-}" ]; then
    kill "$NB_NGINX_PID" 2>/dev/null || true
    wait "$NB_NGINX_PID" 2>/dev/null || true
    NB_NGINX_PID=""
  fi
}

# nb_spawn_standin LOG-FILE ARGS...: the built stand-in on a free loopback port; sets
# NB_STANDIN_PORT and NB_STANDIN_PID. Needs NB_STANDIN (the program).
nb_spawn_standin() {
  local out="$1"; shift
  "$NB_STANDIN" --port 0 "$@" > "$out" 2>&1 &
  NB_STANDIN_PID=$!
  nb_wait_listening "$out"
}

# nb_wait_listening OUTPUT-FILE: waits for the stand-in's first line; sets NB_STANDIN_PORT.
nb_wait_listening() {
  local out="$1" i
  for i in $(seq 1 200); do
    if grep -q "listening on 127.0.0.1:" "$out" 2>/dev/null; then
      NB_STANDIN_PORT=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$out" | head -n 1)
      return 0
    fi
    kill -0 "$NB_STANDIN_PID" 2>/dev/null || break
    sleep 0.05
  done
  echo "nb-standin did not start: $(cat "$out")" >&2
  return 1
}

nb_end_standin() {
  if [ -n "${NB_STANDIN_PID:-}" ]; then
    kill "$NB_STANDIN_PID" 2>/dev/null || true
    wait "$NB_STANDIN_PID" 2>/dev/null || true
    NB_STANDIN_PID=""
  fi
}

# Seconds since the epoch with nanoseconds, for timing a command from a script.
nb_now() { date +%s.%N; }
