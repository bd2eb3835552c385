#!/bin/bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds bench-ostrel in a build directory (default: build), puts a chip data
# file on a tmpfs (/dev/shm unless BENCH_DIR is given) and prints the figures.
#   bench/ostrel/run.sh [BUILDDIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
	cmake -S "$root" -B "$build" -G Ninja >/dev/null
fi
cmake --build "$build" --target bench-ostrel >/dev/null
work=$(mktemp -d "${BENCH_DIR:-/dev/shm}/ostrel.XXXXXX")
trap 'rm -rf "$work"' EXIT
echo "data file on $(df --output=fstype "$work" | tail -1)"
printf '1000:-1000:0:12345\n' > "$work/data"
"$build/bench/ostrel/bench-ostrel" "$work/data"
