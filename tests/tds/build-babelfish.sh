#!/usr/bin/env bash
# Builds the T-SQL test server (Babelfish for PostgreSQL) from the archives in
# third_party/babelfish/ and keeps it in a cache folder outside the build tree, keyed by everything
# that goes into it: the archives, this script, and the versions of the compiler and the libraries
# it is built against. Prints the folder. Nothing is rebuilt while the folder holds its completion
# mark; an interrupted build has none, so it is never taken for a finished one.
#   tests/tds/build-babelfish.sh          build if missing, print the install folder
#   tests/tds/build-babelfish.sh --path   print the folder it would use, build nothing
# About 12 minutes on two cores. Needs the packages the test command installs (bison, flex, the
# ICU, libxml2, OpenSSL, OSSP uuid and ANTLR 4 runtime headers, a Java runtime for the ANTLR tool).
set -euo pipefail
# The whole script is one function, read before it runs: editing the file while a build runs
# does not change what the running build does.
main() {
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
sources="$top/third_party/babelfish"
engine_archive="$sources/postgresql_modified_for_babelfish-BABEL_4_3_STABLE__PG_16_4.tar.xz"
extensions_archive="$sources/babelfish_extensions-BABEL_4_3_STABLE.tar.xz"
jobs=$(nproc)

# Raise the recipe number when a change outside this script changes what is built.
recipe=1
versions=$(dpkg-query -W -f='${Package} ${Version}\n' gcc g++ libicu-dev libxml2-dev libssl-dev libossp-uuid-dev \
           libantlr4-runtime-dev bison flex 2>/dev/null || true)
key=$( (echo "recipe $recipe"; echo "$versions"; sha256sum "$engine_archive" "$extensions_archive" | cut -c1-64;
        cat "$here/build-babelfish.sh" "$here/antlr-downcast.h") | sha256sum | cut -c1-12)
cache_root=${TOLVAR_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/tolvar}
prefix="$cache_root/babelfish-4.3.0-$key"

if [ "${1:-}" = "--path" ]; then echo "$prefix"; exit 0; fi
if [ -f "$prefix/.tolvar-complete" ]; then echo "$prefix"; exit 0; fi

started=$(date +%s)
work=$(mktemp -d "${TMPDIR:-/tmp}/tolvar-babelfish.XXXXXX")
trap 'rm -rf "$work"' EXIT
log="$work/build.log"
fail() {
  echo "building the T-SQL test server failed at: $1" >&2
  grep -E -B2 -A6 'error:|Error [0-9]' "$log" | head -60 >&2
  exit 1
}
echo "Building the T-SQL test server (Babelfish 4.3.0) into $prefix (about 12 minutes on two cores)" >&2
cd "$work"
tar xJf "$engine_archive"
tar xJf "$extensions_archive"
engine="$work/postgresql_modified_for_babelfish"
extensions="$work/babelfish_extensions/contrib"
rm -rf "$prefix"

# The engine, with the options the extensions need (ICU collations, libxml, OSSP uuid, OpenSSL).
(cd "$engine" && ./configure --prefix="$prefix" --with-libxml --with-uuid=ossp --with-icu --with-openssl \
   --without-readline) >>"$log" 2>&1 || fail "configuring the engine"
make -C "$engine" -j "$jobs" >>"$log" 2>&1 || fail "building the engine"
make -C "$engine" install >>"$log" 2>&1 || fail "installing the engine"
# uuid-ossp is loaded by the T-SQL extension at run time.
make -C "$engine/contrib/uuid-ossp" -j "$jobs" install >>"$log" 2>&1 || fail "building uuid-ossp"

# The extensions. Debian 12 has the ANTLR 4.9 C++ runtime where the parser was generated for 4.9.3:
# the one helper 4.9.3's generated code calls and 4.9 lacks is supplied in a header forced into
# the parser's build, and the parser's CMake file is pointed at Debian's headers. The extensions
# build with warnings as errors, and GCC 12 with Debian's ICU 72 warns of a variable that may be
# used uninitialised and of an ICU function marked deprecated; two variables are defined in two
# files each, which links only with common symbols.
sed -i "s|SET (MYDIR /usr/local/include/antlr4-runtime/)|SET (MYDIR /usr/include/antlr4-runtime/)|" \
  "$extensions/babelfishpg_tsql/antlr/CMakeLists.txt"
sed -i "s|^set(CMAKE_CXX_FLAGS \"\${CMAKE_CXX_FLAGS} |&-include $here/antlr-downcast.h |" \
  "$extensions/babelfishpg_tsql/antlr/CMakeLists.txt"
# The generated parser is one very large source: its debugging information, which no test reads,
# costs the compiler most of its time on it.
sed -i "s| -O2 -ggdb | -O2 |" "$extensions/babelfishpg_tsql/antlr/CMakeLists.txt"
extension_make=(make PG_CONFIG="$prefix/bin/pg_config" PG_SRC="$engine" cmake=cmake
  ANTLR4_RUNTIME_INCLUDE_DIR=/usr/include/antlr4-runtime ANTLR4_RUNTIME_LIB_DIR=/usr/lib/x86_64-linux-gnu
  COPT="-fcommon -Wno-error=maybe-uninitialized -Wno-error=deprecated-declarations")
for ext in babelfishpg_money babelfishpg_common babelfishpg_tds; do
  "${extension_make[@]}" -C "$extensions/$ext" -j "$jobs" >>"$log" 2>&1 || fail "building $ext"
  "${extension_make[@]}" -C "$extensions/$ext" install >>"$log" 2>&1 || fail "installing $ext"
done
# The parser first: under -j the extension's own sources include its generated headers.
"${extension_make[@]}" -C "$extensions/babelfishpg_tsql" antlr/libantlr_tsql.a >>"$log" 2>&1 \
  || fail "generating the T-SQL parser"
"${extension_make[@]}" -C "$extensions/babelfishpg_tsql" -j "$jobs" >>"$log" 2>&1 || fail "building babelfishpg_tsql"
"${extension_make[@]}" -C "$extensions/babelfishpg_tsql" install >>"$log" 2>&1 || fail "installing babelfishpg_tsql"

touch "$prefix/.tolvar-complete"
echo "T-SQL test server built in $(( $(date +%s) - started )) s" >&2
echo "$prefix"
}
main "$@"
