#!/bin/bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds the background benchmark in a build directory (default: build),
# makes its wallpaper in a scratch directory and prints the figures.
#   bench/background/run.sh [BUILDDIR] [ROUNDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
rounds=${2:-25}
if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
	cmake -S "$root" -B "$build" -G Ninja >/dev/null
fi
cmake --build "$build" --target bench-background >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/background/bench-background" "$work" "$rounds"
