#!/bin/bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds install and the benchmark programs in the normal build and prints
# the figures: bench/install/run.sh [BUILD-DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
[ -f "$build/build.ninja" ] || cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target install_bench >/dev/null
bin="$build/bench/install"
"$bin/install_bench" "$build/install/install_program" "$bin/install_bench_floor" \
	"$bin/install_bench_empty" "$bin/install_bench_empty_locale"
