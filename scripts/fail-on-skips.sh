#!/usr/bin/env bash
# Fails when ctest's output in LOG lists a test that was skipped or disabled, unless it is one of the
# allowed: a skipped test is a test that did not run, and ctest counts it as passed.
# Usage: fail-on-skips.sh LOG ["Suite.Name: the reason"...]
set -euo pipefail

log=${1:?usage: fail-on-skips.sh LOG [ALLOWED...]}
shift
unexpected=0
while read -r name; do
  allowed=no
  for entry in "$@"; do
    [ "${entry%%:*}" = "$name" ] && allowed=yes
  done
  if [ "$allowed" = no ]; then
    echo "$name did not run: a skip fails the run unless scripts/test.sh allows it, with its reason" >&2
    unexpected=1
  fi
done < <(sed -n 's/^[[:space:]]*[0-9]* - \(.*\) (\(Skipped\|Disabled\))$/\1/p' "$log")
exit "$unexpected"
