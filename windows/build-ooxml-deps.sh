#!/usr/bin/env bash
# Builds the libraries of the .xlsx engine for 64-bit Windows from Debian's own sources of the
# versions the Linux build uses: pugixml, libdeflate, and minizip from zlib's source (its contrib
# folder), over Debian's MinGW-w64 zlib. All static: the program folder gets no DLL more. Kept in a cache
# folder keyed by the versions and this script, like Qt for Windows; prints the folder.
set -euo pipefail
main() {
here=$(cd "$(dirname "$0")" && pwd)
triple=x86_64-w64-mingw32
pugixml_version=$(dpkg-query -W -f='${Version}' libpugixml-dev)
libdeflate_version=$(dpkg-query -W -f='${Version}' libdeflate-dev)
zlib_version=$(dpkg-query -W -f='${Version}' zlib1g-dev)
mingw_zlib_version=$(dpkg-query -W -f='${Version}' libz-mingw-w64-dev)
key=$( (echo "$pugixml_version $libdeflate_version $zlib_version $mingw_zlib_version"; cat "$0" "$here/mingw-toolchain.cmake") \
       | sha256sum | cut -c1-12)
cache_root=${TOLVAR_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/tolvar}
prefix="$cache_root/ooxml-deps-mingw64-posix-$key"
if [ -f "$prefix/.tolvar-complete" ]; then echo "$prefix"; exit 0; fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tolvar-ooxml-win.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
# The sources of the same Debian release; apt needs a deb-src entry for that.
if ! apt-get source --download-only "pugixml=$pugixml_version" >/dev/null 2>&1; then
  "$here/../tools/add-deb-src.sh"
  apt-get source --download-only "pugixml=$pugixml_version" >/dev/null
fi
apt-get source --download-only "libdeflate=$libdeflate_version" >/dev/null
# zlib's source of the version installed; where that is a security update whose source the archive
# does not serve, the release's. The program's own guard covers the one fix of the update to
# minizip (entry names of 64 KiB and more are refused before they reach it).
if ! apt-get source --download-only "zlib=$zlib_version" >/dev/null 2>&1; then
  echo "zlib $zlib_version: no source in the archive; minizip from the release's zlib source" >&2
  apt-get source --download-only zlib >/dev/null
fi
tar xf pugixml_*.orig.tar.*
tar xf zlib_*.orig.tar.*
tar xf libdeflate_*.orig.tar.*
pugixml_src=$(find "$work" -maxdepth 1 -type d -name 'pugixml-*' | head -1)
minizip_src=$(find "$work" -maxdepth 3 -type d -path '*contrib/minizip' | head -1)
libdeflate_src=$(find "$work" -maxdepth 1 -type d -name 'libdeflate-*' | head -1)
rm -rf "$prefix"

cmake -S "$pugixml_src" -B "$work/pugixml" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/mingw-toolchain.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF -DPUGIXML_BUILD_TESTS=OFF \
  -DCMAKE_INSTALL_PREFIX="$prefix" >"$work/pugixml.log" 2>&1 || { tail -30 "$work/pugixml.log" >&2; exit 1; }
cmake --build "$work/pugixml" >>"$work/pugixml.log" 2>&1 || { tail -30 "$work/pugixml.log" >&2; exit 1; }
cmake --install "$work/pugixml" >/dev/null

# minizip: the zip and unzip sources with their file functions (the program reads and writes in
# memory, so the Windows file functions are not needed).
mkdir -p "$prefix/include/minizip" "$prefix/lib" "$work/minizip"
for source in ioapi unzip zip; do
  "$triple-gcc-posix" -O2 -I"$minizip_src" -c "$minizip_src/$source.c" -o "$work/minizip/$source.o"
done
"$triple-ar" rcs "$prefix/lib/libminizip.a" "$work/minizip"/*.o
cp "$minizip_src"/{ioapi.h,unzip.h,zip.h,crypt.h} "$prefix/include/minizip/"

# libdeflate: the sources its own Makefile builds into the library, compressing and decompressing.
mkdir -p "$work/libdeflate"
for source in "$libdeflate_src"/lib/*.c "$libdeflate_src"/lib/*/cpu_features.c; do
  "$triple-gcc-posix" -O2 -DBUILDING_LIBDEFLATE -I"$libdeflate_src" -c "$source" \
    -o "$work/libdeflate/$(basename "$(dirname "$source")")-$(basename "$source" .c).o"
done
"$triple-ar" rcs "$prefix/lib/libdeflate.a" "$work/libdeflate"/*.o
cp "$libdeflate_src/libdeflate.h" "$prefix/include/"
touch "$prefix/.tolvar-complete"
echo "$prefix"
}
main "$@"
