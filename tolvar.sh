#!/usr/bin/env bash
# The project's commands, for a Debian 12 machine:
#   ./tolvar.sh run [STAFF_CODE]  install what the program needs, build it, assemble build/app/
#                                 and start tolvar there
#   ./tolvar.sh test              install what the tests need too, build with the tests, run the
#                                 whole suite, again under AddressSanitizer + UndefinedBehaviorSanitizer,
#                                 then the fuzz targets for a while; prints the time of each stage
#   ./tolvar.sh bench             build and run the benchmarks
#   ./tolvar.sh deb               build the Debian package dist/tolvar_VERSION_amd64.deb
#   ./tolvar.sh windows           install the cross toolchain, build Qt for Windows once (kept in
#                                 ~/.cache/tolvar), the Windows program, its installer and zip in dist/
set -euo pipefail
cd "$(dirname "$0")"
top=$(pwd)
jobs=$(nproc)

# What the program needs to build and run (LibreOffice is optional: it prints the PDFs).
program_packages=(
  cmake g++ ninja-build pkg-config python3 file
  qt6-base-dev qt6-base-dev-tools libsqlite3-dev libpq-dev libqt6sql6-sqlite libqt6sql6-psql libgl-dev
  unixodbc unixodbc-dev xdg-utils fonts-ipafont-gothic libminizip-dev libpugixml-dev libdeflate-dev
)
# The T-SQL test server, built from its sources (third_party/babelfish), FreeTDS's ODBC driver and
# its client, and the Python ODBC module that loads the server.
tds_packages=(
  tdsodbc freetds-bin python3-pyodbc default-jre-headless
  bison flex zlib1g-dev libicu-dev libxml2-dev libssl-dev uuid-dev libossp-uuid-dev libantlr4-runtime-dev
)
# What the tests add: the test framework, the database servers and drivers, the independent
# readers of workbooks and PDFs, the other programs that write templates, the fuzzer, and the
# virtual display with a window manager for the tests that need a real X server.
test_packages=(
  googletest libgtest-dev sqlite3 postgresql odbc-postgresql "${tds_packages[@]}"
  python3-xlrd python3-xlwt python3-olefile python3-uno gnumeric libreoffice-calc-nogui fonts-wqy-zenhei poppler-utils
  python3-openpyxl python3-xlsxwriter python3-pil
  libspreadsheet-parseexcel-perl libspreadsheet-writeexcel-perl ruby-spreadsheet libapache-poi-java libjexcelapi-java default-jre-headless
  clang libclang-rt-14-dev clang-format ccache
  xvfb xauth x11-utils xdotool openbox
)
bench_packages=(libbenchmark-dev sqlite3 postgresql "${tds_packages[@]}")
# The Windows build: MinGW-w64 in the posix thread model (Qt's threads need it), Tcl to make SQLite's
# single source file, NSIS for the installer; Wine runs the Windows build in the tests.
windows_packages=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools tcl make xz-utils nsis zip
  googletest libz-mingw-w64-dev
)
windows_test_packages=(wine wine64)
# The Debian package: its dependencies computed, its icons drawn; the tests check it with Debian's
# own checkers and install it into a fresh Debian 12 root.
deb_packages=(dpkg-dev librsvg2-bin)
deb_test_packages=(debootstrap lintian desktop-file-utils appstream util-linux)

install_missing() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" = 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Compilations are kept in a cache beside the Windows Qt's (ccache, where it is installed): a
# build of sources already built elsewhere, a fresh clone's above all, takes its objects from
# there. Paths inside the checkout are hashed relative to it, so that clones in other folders share.
export CCACHE_DIR=${CCACHE_DIR:-${TOLVAR_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/tolvar}/ccache}
export CCACHE_MAXSIZE=${CCACHE_MAXSIZE:-4G}
export CCACHE_BASEDIR=$top CCACHE_NOHASHDIR=true
compiler_launcher() {  # the CMake options for ccache, once the packages are installed
  if command -v ccache >/dev/null; then
    echo -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache
  fi
}

build() {  # build DIR [cmake options...]
  local dir=$1; shift
  # shellcheck disable=SC2046
  cmake -S "$top" -B "$dir" -G Ninja $(compiler_launcher) "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

# Stage timing for the test command.
stage_started=0
stage_name=""
stage() {
  local now; now=$(date +%s)
  [ -n "$stage_name" ] && printf '== %s: %d s\n' "$stage_name" $((now - stage_started))
  stage_name=$1
  stage_started=$now
  [ -n "$stage_name" ] && echo "== $stage_name"
  return 0
}

case "${1:-}" in
run)
  install_missing "${program_packages[@]}"
  build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
  if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "No display here: tolvar needs one (use build/app/tolvar-po for the workbooks without a window, or xvfb-run ./tolvar.sh run)."
    exit 1
  fi
  cd build/app && exec ./tolvar "${@:2}"
  ;;
test)
  stage "install"
  install_missing "${program_packages[@]}" "${test_packages[@]}" "${windows_packages[@]}" "${windows_test_packages[@]}" \
    "${deb_packages[@]}" "${deb_test_packages[@]}"
  # Node.js and npm for ExcelJS, a reader and writer of .xlsx from the npm registry (the template
  # test installs it into the cache): Debian's where the machine has none of its own.
  command -v npm >/dev/null || install_missing nodejs npm
  stage "T-SQL test server (Babelfish from the cache, or built first)"
  tests/tds/build-babelfish.sh >/dev/null
  stage "build"
  build build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVAR_WERROR=ON -DTOLVAR_BUILD_TESTS=ON
  stage "format"
  tests/format-check.sh
  stage "suite"
  (cd build && ctest --output-on-failure -j "$jobs" -LE real-display)
  stage "real display (Xvfb with openbox, the xcb platform)"
  (cd build && ctest --output-on-failure -L real-display)
  stage "debian package (Debian's checkers; installed into a fresh Debian 12 root)"
  deb_file=$(deb/make-deb.sh build dist)
  /usr/bin/python3 deb/test-deb.py "$deb_file" build/deb-test
  stage "sanitizer suite (AddressSanitizer + UndefinedBehaviorSanitizer)"
  build build-asan -DCMAKE_BUILD_TYPE=Debug -DTOLVAR_SANITIZE=ON -DTOLVAR_WERROR=ON -DTOLVAR_BUILD_TESTS=ON
  (cd build-asan && ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
     ctest --output-on-failure -j "$jobs" -LE real-display)
  stage "fuzz (libFuzzer with ASan and UBSan, ${TOLVAR_FUZZ_SECONDS:-30} s a target)"
  # shellcheck disable=SC2046
  cmake -S "$top" -B build-fuzz -G Ninja $(compiler_launcher) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DTOLVAR_BUILD_FUZZERS=ON >/dev/null
  cmake --build build-fuzz --target fuzzers -j "$jobs"
  fuzz/run-fuzzers.sh build-fuzz "${TOLVAR_FUZZ_SECONDS:-30}"
  stage "windows build (MinGW-w64; Qt for Windows from the cache, or built first)"
  windows/build.sh --dist
  stage "windows tests (under Wine on a virtual display)"
  /usr/bin/python3 windows/test-windows.py build-windows build build-windows/test-work dist
  stage ""
  ;;
deb)
  install_missing "${program_packages[@]}" "${deb_packages[@]}"
  build build-deb -DCMAKE_BUILD_TYPE=Release
  deb/make-deb.sh build-deb dist
  ;;
windows)
  install_missing "${program_packages[@]}" "${windows_packages[@]}"
  windows/build.sh --dist
  ;;
bench)
  install_missing "${program_packages[@]}" "${bench_packages[@]}"
  build build-release -DCMAKE_BUILD_TYPE=Release -DTOLVAR_BUILD_BENCHMARKS=ON
  cmake --build build-release --target benchmarks -j "$jobs"
  for b in build-release/bench/*_bench; do "$b"; done
  # The search again on PostgreSQL and on the T-SQL server: private servers with the same PO headers.
  bench/pg-search-bench.sh build-release
  tests/tds/build-babelfish.sh >/dev/null
  bench/tds-search-bench.sh build-release
  ;;
*)
  echo "usage: $0 run [STAFF_CODE] | test | bench | deb | windows"; exit 2 ;;
esac
