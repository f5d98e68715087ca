#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: the whole suite under a private Xvfb with a
# window manager, the demonstration end to end and the Debian package, the bitmap reader under
# libFuzzer, then every test but the long ones again under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
jobs=$(nproc)

# run_tests BUILD_FOLDER [LABEL TO LEAVE OUT]: unit and widget tests must pass at their first run. A test
# against the X server can lose a race with the window manager, which is not ours to settle, on a busy
# machine: those get a second run, and ctest still reports the first failure.
run_tests() {
  local folder=$1 leave_out=${2:-}
  bash scripts/with-xvfb.sh ctest --test-dir "$folder" --output-on-failure -j "$jobs" -LE "x11${leave_out:+|$leave_out}"
  bash scripts/with-xvfb.sh ctest --test-dir "$folder" --output-on-failure -j "$jobs" -L x11 \
    ${leave_out:+-LE "$leave_out"} --repeat until-pass:2
}

cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/test -j "$jobs"
run_tests build/test

# The whole program end to end: the first command's demonstration, its movie checked by decoding it.
bash tests/e2e/demo_test.sh build/test
# The Debian package, unpacked into a scratch root and started there.
bash tests/package/deb_test.sh build/test

# The bitmap reader under libFuzzer for about 30 seconds, starting from the seed corpus (copied, so that
# the inputs it finds stay out of the source tree).
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DSKORVA_FUZZ=ON \
  -DSKORVA_BUILD_APP=OFF >/dev/null
cmake --build build/fuzz -j "$jobs" --target cdib_fuzz
mkdir -p build/fuzz/corpus/cdib
cp tests/fuzz/corpus/cdib/* build/fuzz/corpus/cdib/
build/fuzz/tests/fuzz/cdib_fuzz -max_total_time=30 -max_len=4096 build/fuzz/corpus/cdib

cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSKORVA_SANITIZE=ON >/dev/null
cmake --build build/sanitize -j "$jobs"
(
  export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1
  run_tests build/sanitize long
)
