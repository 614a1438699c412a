#!/usr/bin/env bash
# Fails, naming the files, when a C++ source is not formatted as .clang-format says
# (`cmake --build build --target format` formats them all).
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files -- 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'fuzz/*.cpp' 2>/dev/null ||
                     find src tests bench fuzz -name '*.cpp' -o -name '*.h')
[ ${#files[@]} -gt 0 ] || { echo "format-check: no sources found"; exit 1; }
bad=()
for f in "${files[@]}"; do
  [ -f "$f" ] || continue
  clang-format --style=file "$f" | cmp -s - "$f" || bad+=("$f")
done
if [ ${#bad[@]} -gt 0 ]; then
  echo "Not formatted as .clang-format says (run: cmake --build build --target format):"
  printf '  %s\n' "${bad[@]}"
  exit 1
fi
echo "format-check: ${#files[@]} files formatted"
