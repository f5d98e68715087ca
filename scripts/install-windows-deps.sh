#!/usr/bin/env bash
# Installs the Debian packages that cross-build the Windows program and run it under Wine, when any is
# missing: mingw-w64 with POSIX threads (std::thread needs them) and 64-bit Wine, no i386 architecture.
set -euo pipefail
exec bash "$(dirname "$0")/install-deps.sh" \
  g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64 \
  wine64 wine fonts-wine zip
