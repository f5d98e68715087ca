#!/usr/bin/env bash
# No include runs up a layer. From the ground up: core; platform (its interfaces, then each backend on its
# own: x11, avi, jpeg, qt, win32); imaging and dialogs, side by side; movie and recording, side by side;
# app. A file may include its own folder and the layers below it; a platform backend may include the
# platform interfaces and itself, not another backend, except the JPEG codec, which the AVI backend's
# Motion JPEG stream shares with the frame writer, and the headers of the AVI library and the JPEG codec,
# which the Windows backend implements. Only app and the qt backend know Qt. The shared layers (core,
# imaging, dialogs, movie, recording) know no system: no system header and no test for a platform.
set -euo pipefail
cd "$(dirname "$0")/../.."

rank() {
  case $1 in
    core) echo 0 ;;
    platform) echo 1 ;;
    imaging | dialogs) echo 2 ;;
    movie | recording) echo 3 ;;
    app) echo 4 ;;
    *) echo 9 ;;
  esac
}

# The backend folder of a platform path ("x11" for platform/x11/screen_grab.h), empty for an interface.
backend() {
  case $1 in
    platform/*/*) local rest=${1#platform/}; echo "${rest%%/*}" ;;
    *) echo "" ;;
  esac
}

found=0
while IFS= read -r file; do
  folder=${file%%/*}
  while IFS= read -r included; do
    top=${included%%/*}
    [ "$(rank "$top")" -eq 9 ] && continue
    if [ "$(rank "$top")" -gt "$(rank "$folder")" ] ||
      { [ "$(rank "$top")" -eq "$(rank "$folder")" ] && [ "$top" != "$folder" ]; }; then
      echo "$file includes $included: up a layer, or across to a sibling"
      found=1
    elif [ "$folder" = platform ] && [ "$top" = platform ] && [ -n "$(backend "$included")" ] &&
      [ "$(backend "$included")" != "$(backend "$file")" ] &&
      ! { [ "$(backend "$included")" = jpeg ] && [ "$(backend "$file")" = avi ]; } &&
      ! { [ "$(backend "$file")" = win32 ] && [[ $included == *.h ]] &&
        { [ "$(backend "$included")" = jpeg ] || [ "$(backend "$included")" = avi ]; }; }; then
      echo "$file includes $included: another platform backend"
      found=1
    fi
  done < <(sed -n 's|^#include "\([^"]*\)".*|\1|p' "$file")
done < <(find core platform imaging dialogs movie recording app -name '*.h' -o -name '*.cpp' | sort)
while IFS= read -r file; do
  echo "$file includes a Qt header"
  found=1
done < <(grep -l '^#include <Q' -r core platform imaging dialogs movie recording | grep -v '^platform/qt/' | sort)
while IFS= read -r line; do
  echo "$line: a system header or a test for a platform in a shared layer"
  found=1
done < <(grep -nE '^#include <(windows|winbase|wincodec|vfw|shlobj|unistd|fcntl|poll|pthread|dirent)\.h>|^#include <sys/|^#\s*if.*\b(_WIN32|_WIN64|__linux__|__unix__|__MINGW|_MSC_VER|__APPLE__)' \
  -r core imaging dialogs movie recording | sort)
[ "$found" -eq 0 ] && echo "no include runs up a layer"
exit "$found"
