#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: the whole suite under a private Xvfb with a
# window manager, the demonstration end to end and the Debian package, the bitmap reader under
# libFuzzer, then every test but the long ones again under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
jobs=$(nproc)

cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/test -j "$jobs"
# A test that talks to the window manager can lose a race with it on a busy machine: each test gets a
# second run, and ctest still reports the first failure.
bash scripts/with-xvfb.sh ctest --test-dir build/test --output-on-failure -j "$jobs" --repeat until-pass:2

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
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  bash scripts/with-xvfb.sh ctest --test-dir build/sanitize --output-on-failure -j "$jobs" -LE long --repeat until-pass:2
