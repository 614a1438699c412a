#!/usr/bin/env bash
# The project's two commands, for a Debian 12 machine:
#   ./tolvar.sh run    install what is missing, build, assemble build/app/ and start tolvar there
#   ./tolvar.sh test   install what is missing, build, run the whole suite, then again under
#                      AddressSanitizer + UndefinedBehaviorSanitizer
#   ./tolvar.sh bench  build and run the benchmarks
set -euo pipefail
cd "$(dirname "$0")"
top=$(pwd)
jobs=$(nproc)

packages=(
  cmake g++ ninja-build pkg-config python3 file
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-psql libqt6sql6-odbc libgl-dev
  googletest libgtest-dev libbenchmark-dev sqlite3
  postgresql odbc-postgresql unixodbc tdsodbc xdg-utils
  fonts-ipafont-gothic xvfb xauth
  python3-xlrd gnumeric libreoffice-calc-nogui clang libclang-rt-14-dev
)

install_missing() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" = 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

build() {  # build DIR [cmake options...]
  local dir=$1; shift
  cmake -S "$top" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

case "${1:-}" in
run)
  install_missing
  build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
  if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "No display here: tolvar needs one (use build/app/tolvar-po for the workbooks without a window, or xvfb-run ./tolvar.sh run)."
    exit 1
  fi
  cd build/app && exec ./tolvar "${@:2}"
  ;;
test)
  install_missing
  build build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVAR_WERROR=ON
  (cd build && ctest --output-on-failure -j "$jobs")
  echo "== again under AddressSanitizer + UndefinedBehaviorSanitizer"
  build build-asan -DCMAKE_BUILD_TYPE=Debug -DTOLVAR_SANITIZE=ON -DTOLVAR_WERROR=ON
  (cd build-asan && ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
     ctest --output-on-failure -j "$jobs")
  echo "== the workbook engine's fuzz target for a minute (libFuzzer, ASan, UBSan)"
  mkdir -p build-fuzz
  clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I src \
    fuzz/fuzz_xls.cpp src/xls/*.cpp -o build-fuzz/fuzz_xls
  rm -rf build-fuzz/corpus && cp -r fuzz/corpus build-fuzz/corpus
  build-fuzz/fuzz_xls -max_total_time=60 -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix=build-fuzz/ build-fuzz/corpus 2>&1 | tail -n 3
  ;;
bench)
  install_missing
  build build-release -DCMAKE_BUILD_TYPE=Release -DTOLVAR_BUILD_TESTS=OFF
  cmake --build build-release --target benchmarks -j "$jobs"
  for b in build-release/bench/*_bench; do "$b"; done
  ;;
*)
  echo "usage: $0 run [STAFF_CODE] | test | bench"; exit 2 ;;
esac
