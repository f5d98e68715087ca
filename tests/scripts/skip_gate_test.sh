#!/usr/bin/env bash
# scripts/fail-on-skips.sh against ctest's own report: a project with a test that skips as a GoogleTest
# does (gtest_discover_tests marks its "[  SKIPPED ]" line a skip), one that is disabled, and one that
# passes. ctest calls that run a success; the gate must not.
set -euo pipefail
gate=$(realpath "$(dirname "$0")/../../scripts/fail-on-skips.sh")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
    echo "skip gate test: FAILED: $*" >&2
    exit 1
}

cat >"$work/CMakeLists.txt" <<'PROJECT'
cmake_minimum_required(VERSION 3.20)
project(skips NONE)
enable_testing()
add_test(NAME Viewer.Skips COMMAND sh -c "echo '[  SKIPPED ] no X server'")
set_tests_properties(Viewer.Skips PROPERTIES SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
add_test(NAME Viewer.Disabled COMMAND true)
set_tests_properties(Viewer.Disabled PROPERTIES DISABLED TRUE)
add_test(NAME Viewer.Passes COMMAND true)
PROJECT
cmake -S "$work" -B "$work/build" >/dev/null
ctest --test-dir "$work/build" >"$work/log" 2>&1 || fail "ctest failed: $(cat "$work/log")"

if bash "$gate" "$work/log" 2>"$work/said"; then
    fail "a run with a skipped and a disabled test passed the gate"
fi
for name in Viewer.Skips Viewer.Disabled; do
    grep -q "^$name did not run" "$work/said" || fail "the gate did not name $name: $(cat "$work/said")"
done
! grep -q Viewer.Passes "$work/said" || fail "the gate named a test that ran"
if bash "$gate" "$work/log" "Viewer.Skips: no X server here" 2>/dev/null; then
    fail "a disabled test that is not allowed passed the gate"
fi
bash "$gate" "$work/log" "Viewer.Skips: no X server here" "Viewer.Disabled: switched off" ||
    fail "allowed skips failed the gate"
echo "skip gate test: passed"
