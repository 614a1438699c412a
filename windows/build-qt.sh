#!/usr/bin/env bash
# Builds Qt for 64-bit Windows from Debian's own qt6-base source (the version of the Linux build,
# so Debian's Qt host tools serve the cross build) and keeps it in a cache folder outside the build
# tree, keyed by the version and the options. Prints the folder. Nothing is rebuilt while the
# folder holds its completion mark; an interrupted build has none, so it is never taken for a
# finished one and is built again.
#   windows/build-qt.sh            build if missing, print the install folder
#   windows/build-qt.sh --path     print the folder it would use, build nothing
set -euo pipefail
# The whole script is one function, read before it runs: editing the file while a build runs
# does not change what the running build does.
main() {
here=$(cd "$(dirname "$0")" && pwd)
jobs=$(nproc)

qt_version=$(dpkg-query -W -f='${Version}' qt6-base-dev)   # e.g. 6.4.2+dfsg-10
# The modules and features the program uses; everything else is off to keep the build short.
qt_options=(
  -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
  -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF
  -DFEATURE_xml=OFF -DFEATURE_icu=OFF -DFEATURE_vulkan=OFF -DFEATURE_tabletevent=OFF
  -DFEATURE_sql_odbc=ON -DFEATURE_sql_sqlite=ON -DFEATURE_system_sqlite=OFF
  -DFEATURE_sql_psql=OFF -DFEATURE_sql_mysql=OFF -DFEATURE_sql_oci=OFF -DFEATURE_sql_db2=OFF
  -DFEATURE_sql_ibase=OFF
  -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF
  -DFEATURE_system_freetype=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF
  -DFEATURE_system_doubleconversion=OFF -DFEATURE_system_libb2=OFF
)
# Raise the recipe number when the steps below change what is built.
recipe=1
key=$( (echo "$qt_version recipe $recipe"; printf '%s\n' "${qt_options[@]}"; cat "$here/mingw-toolchain.cmake") \
       | sha256sum | cut -c1-12)
cache_root=${TOLVAR_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/tolvar}
prefix="$cache_root/qt-${qt_version%%+*}-mingw64-posix-$key"

if [ "${1:-}" = "--path" ]; then echo "$prefix"; exit 0; fi
if [ -f "$prefix/.tolvar-complete" ]; then echo "$prefix"; exit 0; fi

started=$(date +%s)
work=$(mktemp -d "${TMPDIR:-/tmp}/tolvar-qt-win.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
echo "Building Qt ${qt_version} for Windows into $prefix (about half an hour on two cores)" >&2

# The sources of the same Debian release; apt needs a deb-src entry for that.
if ! apt-get source --download-only "qt6-base=$qt_version" >/dev/null 2>&1; then
  "$here/../tools/add-deb-src.sh"
  apt-get source --download-only "qt6-base=$qt_version" >/dev/null
fi
apt-get source --download-only sqlite3 >/dev/null
tar xf qt6-base_*.orig.tar.xz
tar xf sqlite3_*.orig.tar.xz
qt_src=$(echo "$work"/qtbase-everywhere-src-*)
sqlite_src=$(find "$work" -maxdepth 1 -type d -name 'sqlite3-*' | head -1)

# Debian's source leaves out Qt's copy of SQLite: make the single-file form from Debian's SQLite.
mkdir -p "$work/sqlite-build" "$qt_src/src/3rdparty/sqlite"
(cd "$work/sqlite-build" && "$sqlite_src/configure" --disable-tcl >/dev/null && make -s sqlite3.c sqlite3.h >/dev/null 2>&1)
cp "$work/sqlite-build/sqlite3.c" "$work/sqlite-build/sqlite3.h" "$qt_src/src/3rdparty/sqlite/"

cmake -S "$qt_src" -B "$work/build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$here/mingw-toolchain.cmake" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DCMAKE_INSTALL_PREFIX="$prefix" "${qt_options[@]}" >"$work/configure.log" 2>&1 \
  || { tail -40 "$work/configure.log" >&2; exit 1; }
cmake --build "$work/build" -j "$jobs" >"$work/build.log" 2>&1 || { tail -60 "$work/build.log" >&2; exit 1; }
rm -rf "$prefix"
cmake --install "$work/build" >/dev/null
# The toolchain file Qt installs loads ours by its path: keep a copy beside Qt and point it there,
# so the cache does not depend on where the checkout that built it lies.
cp "$here/mingw-toolchain.cmake" "$prefix/mingw-toolchain.cmake"
sed -i "s|$here/mingw-toolchain.cmake|$prefix/mingw-toolchain.cmake|g" "$prefix/lib/cmake/Qt6/qt.toolchain.cmake"
touch "$prefix/.tolvar-complete"
echo "Qt for Windows built in $(( $(date +%s) - started )) s" >&2
echo "$prefix"
}
main "$@"
