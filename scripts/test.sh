#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: the whole suite under a private Xvfb with a
# window manager, the demonstration end to end and the Debian package, the Windows program under Wine, the
# bitmap readers under libFuzzer, then every test but the long ones again under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-windows-deps.sh
jobs=$(nproc)

# Tests that may be skipped here, each as "Suite.Name: the reason". A skipped test is a test that did not
# run: any other test that skips (or is disabled) fails the run.
allowed_skips=(
)

# run_ctest ARGUMENTS...: ctest under a private Xvfb with a window manager; fails on a failed test and on a
# skipped one.
run_ctest() {
  local log status=0
  log=$(mktemp)
  bash scripts/with-xvfb.sh ctest "$@" 2>&1 | tee "$log" || status=$?
  bash scripts/fail-on-skips.sh "$log" ${allowed_skips[@]+"${allowed_skips[@]}"} || status=1
  rm -f "$log"
  return "$status"
}

# run_tests BUILD_FOLDER [LABEL TO LEAVE OUT]: every test must pass at its first run. The tests against the
# X server run one at a time, since they share one screen.
run_tests() {
  local folder=$1 leave_out=${2:-}
  run_ctest --test-dir "$folder" --output-on-failure -j "$jobs" -LE "x11${leave_out:+|$leave_out}"
  run_ctest --test-dir "$folder" --output-on-failure -j "$jobs" -L x11 ${leave_out:+-LE "$leave_out"}
}

cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/test -j "$jobs"
run_tests build/test

# The whole program end to end: the first command's demonstration, its movie checked by decoding it.
bash tests/e2e/demo_test.sh build/test
# The Debian package, unpacked into a scratch root and started there.
bash tests/package/deb_test.sh build/test

# The Windows program: cross-built with mingw-w64, then its shared layers' unit tests and its command line
# against a fixture viewer window, under Wine in a fresh prefix on a private Xvfb with openbox.
SKORVA_WINDOWS_TESTS=ON SKORVA_JOBS="$jobs" bash scripts/build-windows.sh >/dev/null
# A hung Wine program fails the step instead of the whole run.
timeout 600 bash scripts/with-xvfb.sh bash tests/win32/wine_test.sh build/windows

# The bitmap readers under libFuzzer for about 30 seconds each, the file model and the header reader below
# it, starting from their seed corpora (copied, so that the inputs they find stay out of the source tree).
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DSKORVA_FUZZ=ON \
  -DSKORVA_BUILD_APP=OFF >/dev/null
cmake --build build/fuzz -j "$jobs" --target cdib_fuzz bitmap_format_fuzz
for target in cdib bitmap_format; do
  mkdir -p "build/fuzz/corpus/$target"
  cp "tests/fuzz/corpus/$target"/* "build/fuzz/corpus/$target/"
  "build/fuzz/tests/fuzz/${target}_fuzz" -max_total_time=30 -max_len=4096 "build/fuzz/corpus/$target"
done

cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSKORVA_SANITIZE=ON >/dev/null
cmake --build build/sanitize -j "$jobs"
(
  export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1
  run_tests build/sanitize long
)
