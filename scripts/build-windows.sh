#!/usr/bin/env bash
# Cross-builds the Windows program with mingw-w64 (installing the cross compiler and Wine when missing),
# packs skorva.exe with the licence and a short read-me into a zip, and prints the path of skorva.exe on
# its last line. SKORVA_WINDOWS_TESTS=ON builds the tests too; SKORVA_JOBS sets the build's jobs.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-windows-deps.sh
folder=build/windows
cmake -S . -B "$folder" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DSKORVA_BUILD_TESTS="${SKORVA_WINDOWS_TESTS:-OFF}" >/dev/null
cmake --build "$folder" -j "${SKORVA_JOBS:-$(nproc)}" >&2

exe="$folder/app/win32/skorva.exe"
x86_64-w64-mingw32-strip "$exe"
# No DLL beside it: every import must be one that Windows itself ships.
if x86_64-w64-mingw32-objdump -p "$exe" | grep -i 'DLL Name' | grep -iE 'libstdc|libgcc|libwinpthread' >&2; then
  echo "build-windows.sh: skorva.exe needs a mingw DLL" >&2
  exit 1
fi

package="$folder/skorva-windows"
rm -rf "$package" "$folder/skorva-windows.zip"
mkdir -p "$package"
cp "$exe" LICENSE "$package/"
cp packaging/windows-readme.txt "$package/README.txt"
(cd "$folder" && zip -qr skorva-windows.zip skorva-windows)
echo "$(pwd)/$exe"
