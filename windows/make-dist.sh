#!/usr/bin/env bash
# The Windows installer and portable zip from a finished Windows build:
#   windows/make-dist.sh BUILD_DIR DIST_DIR
# The program folder as the office installs it: the executables, their DLLs and plugins, the
# template, the demo database and a sample settings file in the office's own encoding (CP932, CRLF)
# with no save folder yet (the program asks for one and writes it back).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/.." && pwd)
build=$(cd "$1" && pwd)
mkdir -p "$2"
dist=$(cd "$2" && pwd)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")

stage="$build/dist-stage/Tolvar"
rm -rf "$build/dist-stage"
mkdir -p "$stage"
(cd "$build/app" && cp -r tolvar.exe tolvar-po.exe ./*.dll platforms styles sqldrivers MST_PO.xls demo.db "$stage/")
sed -e 's/@OUTPUT_DIR@//' -e 's/$/\r/' "$top/assets/tolvar.ini.in" | iconv -f UTF-8 -t CP932 >"$stage/tolvar.ini"

zip_file="$dist/tolvar-$version-windows-x64.zip"
rm -f "$zip_file"
(cd "$build/dist-stage" && zip -qr "$zip_file" Tolvar)

# The uninstaller removes exactly the program's files: listed here from the stage, less the
# settings file and the template, which are the office's.
files="$build/dist-stage/uninstall-files.nsh"
(cd "$stage" && find . -type f ! -name tolvar.ini ! -name MST_PO.xls | sed 's|^\./||; s|/|\\|g' \
   | sort | sed 's|.*|  Delete "$INSTDIR\\&"|'
 cd "$stage" && find . -mindepth 1 -type d | sed 's|^\./||; s|/|\\|g' | sort -r | sed 's|.*|  RMDir "$INSTDIR\\&"|') >"$files"
makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DUNINSTALL_FILES="$files" \
  -DOUTFILE="$dist/tolvar-$version-setup.exe" "$here/installer.nsi"
echo "$dist/tolvar-$version-setup.exe"
echo "$zip_file"
