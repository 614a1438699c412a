#!/usr/bin/env bash
# The Windows program, cross-built on Debian with MinGW-w64:
#   windows/build.sh          Qt for Windows and GoogleTest (both kept in the cache), then
#                             tolvar.exe, tolvar-po.exe and the unit tests in build-windows/, and
#                             the program folder build-windows/app with every DLL and plugin it loads
#   windows/build.sh --dist   also the installer and the portable zip in dist/
# Prints the time of each step; the first Qt build takes about half an hour on two cores.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/.." && pwd)
jobs=$(nproc)
build="$top/build-windows"
triple=x86_64-w64-mingw32
cache_root=${TOLVAR_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/tolvar}

step_started=$(date +%s)
step() { local now; now=$(date +%s); echo "-- $1 ($((now - step_started)) s)"; step_started=$now; }

qt=$("$here/build-qt.sh")
step "Qt for Windows: $qt"

# GoogleTest for the unit tests, from Debian's own source of it, built once like Qt.
gtest_version=$(dpkg-query -W -f='${Version}' googletest)
gtest_key=$( (echo "$gtest_version"; cat "$here/mingw-toolchain.cmake") | sha256sum | cut -c1-12)
gtest="$cache_root/googletest-${gtest_version%%-*}-mingw64-posix-$gtest_key"
if [ ! -f "$gtest/.tolvar-complete" ]; then
  rm -rf "$gtest" "$build/googletest"
  cmake -S /usr/src/googletest -B "$build/googletest" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/mingw-toolchain.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$gtest" -DBUILD_GMOCK=OFF -Dgtest_disable_pthreads=OFF >/dev/null
  cmake --build "$build/googletest" -j "$jobs" >/dev/null
  cmake --install "$build/googletest" >/dev/null
  touch "$gtest/.tolvar-complete"
fi
step "GoogleTest for Windows: $gtest"

ooxml_deps=$("$here/build-ooxml-deps.sh")
step "pugixml, libdeflate and minizip for Windows: $ooxml_deps"

# Compilations kept in ccache's cache, where it is installed (the test command sets where).
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$top" -B "$build" -G Ninja "${launcher[@]}" -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DTOLVAR_BUILD_TESTS=ON -DTOLVAR_WERROR=ON -DGTest_DIR="$gtest/lib/cmake/GTest" \
  -Dpugixml_DIR="$ooxml_deps/lib/cmake/pugixml" -DTOLVAR_MINIZIP_LIBRARY="$ooxml_deps/lib/libminizip.a" \
  -DTOLVAR_LIBDEFLATE_LIBRARY="$ooxml_deps/lib/libdeflate.a" \
  -DTOLVAR_MINIZIP_INCLUDE="$ooxml_deps/include" >/dev/null
cmake --build "$build" -j "$jobs"
step "tolvar.exe, tolvar-po.exe and the unit tests"

# The DLLs and plugins the programs load, beside them as Windows looks for them: Qt's, the
# compiler's runtime, and the platform, style and SQL-driver plugins in their folders.
app="$build/app"
gcc_runtime=$(dirname "$($triple-g++-posix -print-file-name=libstdc++-6.dll)")
for dll in "$gcc_runtime/libstdc++-6.dll" "$gcc_runtime/libgcc_s_seh-1.dll" \
           "/usr/$triple/lib/libwinpthread-1.dll" \
           "$qt/bin/Qt6Core.dll" "$qt/bin/Qt6Gui.dll" "$qt/bin/Qt6Widgets.dll" "$qt/bin/Qt6Sql.dll"; do
  cp -u "$dll" "$app/"
done
for plugin in platforms/qwindows.dll styles/qwindowsvistastyle.dll sqldrivers/qsqlite.dll; do
  mkdir -p "$app/$(dirname "$plugin")"
  cp -u "$qt/plugins/$plugin" "$app/$plugin"
done
# What only the tests load: Qt Test and the offscreen platform.
tests_dlls="$build/test-dlls"
mkdir -p "$tests_dlls/platforms"
cp -u "$qt/bin/Qt6Test.dll" "$tests_dlls/"
cp -u "$qt/plugins/platforms/qoffscreen.dll" "$tests_dlls/platforms/"
# Debian's MinGW runtime and the Qt build carry their symbols: the program folder does not need them.
$triple-strip --strip-unneeded "$app"/*.dll "$app"/*.exe "$app"/*/*.dll
step "program folder: $app"

[ "${1:-}" = "--dist" ] || exit 0
"$here/make-dist.sh" "$build" "$top/dist"
step "installer and zip in $top/dist"
